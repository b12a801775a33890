// What the login and main-window tests share: recorded message boxes, a
// roaming folder of their own, a company database with users for this test
// program, and a data module pointed at the test clusters' directory.
#pragma once

#include "os.h"
#include "testdb.h"
#include "u_dmCon.h"
#include "ui.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>

#include <optional>
#include <string>
#include <vector>

namespace fixture {

// Records the boxes instead of showing them, for its lifetime.
class BoxRecorder {
public:
    BoxRecorder() {
        previous_ = ui::setMessagePresenter([this](const ui::MessageBox& b) { boxes.push_back(b); });
    }
    ~BoxRecorder() { ui::setMessagePresenter(previous_); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    QStringList texts() const {
        QStringList t;
        for (const auto& b : boxes) t << b.text;
        return t;
    }

    std::vector<ui::MessageBox> boxes;

private:
    ui::MessagePresenter previous_;
};

// XDG_CONFIG_HOME pointed at a fresh folder for its lifetime.
class ConfigHome {
public:
    ConfigHome() : saved_(qgetenv("XDG_CONFIG_HOME")), had_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
    }
    ~ConfigHome() {
        if (had_)
            qputenv("XDG_CONFIG_HOME", saved_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    ConfigHome(const ConfigHome&) = delete;
    ConfigHome& operator=(const ConfigHome&) = delete;

    QString path() const { return dir_.path(); }
    QString file() const { return dir_.filePath(QStringLiteral("VekLurev.json")); }
    // Points XDG_CONFIG_HOME somewhere else (a file, a missing folder).
    void pointAt(const QString& path) { qputenv("XDG_CONFIG_HOME", path.toUtf8()); }

private:
    QTemporaryDir dir_;
    QByteArray saved_;
    bool had_;
};

inline std::string title() { return os::applicationTitle(); }

// A clone of vek_template where this test program's title is an active
// application, with a directory row (unique name) pointing at it.
class Company {
public:
    explicit Company(const std::string& prefix, std::optional<std::string> hashType = std::string("HashSHA2"),
                     testdb::Cluster cluster = testdb::Cluster::Ssl)
        : db_(prefix, cluster), name_("Firma " + db_.name()), cluster_(cluster) {
        auto su = db_.superuser();
        su.exec("insert into aplicatie_mob (aplicatie_mob, obs, activ) values ($1, 'teste', true)", {title()});
        // The directory lives on the SSL cluster; the company where it was made.
        testdb::addDirectoryRow(name_, testdb::env().host, testdb::env().portOf(cluster), db_.name(), hashType);
    }
    ~Company() {
        try {
            testdb::removeDirectoryRows(name_);
        } catch (...) {
        }
    }
    Company(const Company&) = delete;
    Company& operator=(const Company&) = delete;

    const std::string& name() const { return name_; }           // in the directory
    const std::string& database() const { return db_.name(); }  // the company database
    QString qname() const { return QString::fromStdString(name_); }
    QString qdatabase() const { return QString::fromStdString(db_.name()); }
    testdb::Connection superuser() const { return db_.superuser(); }

    // A user whose stored password is the text or (hashed) its SHA-256 hex,
    // computed by the server; granted this program unless told otherwise.
    void addUser(const std::string& user, const std::string& password, bool hashed, bool granted = true,
                 const std::string& workPoint = "SEDIU", const std::string& role = "operator") const {
        auto su = superuser();
        su.exec(hashed ? "insert into emitent (emitent, operator_parola, eu_punct_lucru) "
                         "values ($1::text, encode(sha256(convert_to($2::text, 'UTF8')), 'hex'), $3::text)"
                       : "insert into emitent (emitent, operator_parola, eu_punct_lucru) values ($1, $2, $3)",
                {user, password, workPoint});
        if (granted)
            su.exec("insert into aplicatie_mob_emitent (aplicatie_mob, emitent, rol) values ($1, $2, $3)",
                    {title(), user, role});
    }

private:
    testdb::CompanyDatabase db_;
    std::string name_;
    testdb::Cluster cluster_;
};

// A directory row of this test's own, removed at the end.
class DirectoryRow {
public:
    DirectoryRow(std::string company, const std::string& database, const std::optional<std::string>& hashType,
                 int port = 0)
        : company_(std::move(company)) {
        testdb::addDirectoryRow(company_, testdb::env().host, port != 0 ? port : testdb::env().port, database,
                                hashType);
    }
    ~DirectoryRow() {
        try {
            testdb::removeDirectoryRows(company_);
        } catch (...) {
        }
    }
    DirectoryRow(const DirectoryRow&) = delete;
    DirectoryRow& operator=(const DirectoryRow&) = delete;
    QString qname() const { return QString::fromStdString(company_); }

private:
    std::string company_;
};

// Types text into a widget as key presses, one per character (QTest's own
// keyClicks takes Latin-1 only).
inline void typeText(QWidget* widget, const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        const QString ch = QString::fromUcs4(&c, 1);
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, ch, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, ch, Qt::NoModifier);
    }
}

// Replaces what a box holds by typing the text.
inline void retype(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    typeText(box, text);
}

// Runs fn once the next modal window is up and its loop runs.
inline void whenModal(std::function<void(QWidget*)> fn) {
    QTimer::singleShot(0, [fn = std::move(fn)]() mutable {
        QWidget* w = QApplication::activeModalWidget();
        if (w == nullptr || !w->isVisible()) {
            whenModal(std::move(fn));
            return;
        }
        fn(w);
    });
}

// The data module's directory connection on the test cluster (the directory
// server is a build setting; the tests' clusters run on ports of their own).
inline void pointAtTestDirectory(TdmCon& dm, testdb::Cluster cluster = testdb::Cluster::Ssl) {
    dm.conVekMob.setServer(testdb::env().host);
    dm.conVekMob.setPort(testdb::env().portOf(cluster));
}

}  // namespace fixture
