// The remembered-login table dsLogin and its file: the JSON layout, the round
// trip, the 200-character fields, files that cannot be read or written.
#include "login_table.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString loadError(LoginTable& t, const QString& path) {
    try {
        t.loadFromFile(path);
    } catch (const std::runtime_error& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

}  // namespace

class TestLoginTable : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void roundTrip_data();
    void roundTrip();
    void firstChangeInsertsRecord();
    void closedTableTakesNoChanges();
    void fieldsKeep200Characters_data();
    void fieldsKeep200Characters();
    void unreadableFile_data();
    void unreadableFile();
    void unwritableFile_data();
    void unwritableFile();
    void saveCreatesMissingFolder();
};

void TestLoginTable::layout_data() {
    QTest::addColumn<bool>("withRecord");
    QTest::newRow("empty table") << false;
    QTest::newRow("one record") << true;
}

void TestLoginTable::layout() {
    QFETCH(bool, withRecord);
    LoginTable t;
    t.open();
    if (withRecord) {
        t.setValue(LoginTable::Field::Company, QStringLiteral("ACME"));
        t.setValue(LoginTable::Field::Username, QStringLiteral("ana"));
    }
    // Read back by another JSON parser than the one that wrote it.
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(t.toJson(), &err);
    QCOMPARE(err.error, QJsonParseError::NoError);
    const QJsonObject root = doc.object();
    const QJsonArray fields = root.value("fields").toArray();
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields[0].toObject(), (QJsonObject{{"name", "company"}, {"type", "string"}, {"size", 200}}));
    QCOMPARE(fields[1].toObject(), (QJsonObject{{"name", "username"}, {"type", "string"}, {"size", 200}}));
    const QJsonArray records = root.value("records").toArray();
    QCOMPARE(records.size(), withRecord ? 1 : 0);
    if (withRecord) QCOMPARE(records[0].toObject(), (QJsonObject{{"company", "ACME"}, {"username", "ana"}}));
}

void TestLoginTable::roundTrip_data() {
    QTest::addColumn<bool>("withRecord");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("username");
    QTest::newRow("plain") << true << "ACME SRL" << "ana";
    QTest::newRow("non-ASCII") << true << "Încasări Țară SRL" << "Ștefan";
    QTest::newRow("quotes, backslashes, controls") << true << "A \"B\" \\ C\n\tD" << "{\"x\":1}";
    QTest::newRow("spaces kept") << true << "  ACME  " << " ana ";
    QTest::newRow("empty values") << true << "" << "";
    QTest::newRow("no record") << false << "" << "";
}

void TestLoginTable::roundTrip() {
    QFETCH(bool, withRecord);
    QFETCH(QString, company);
    QFETCH(QString, username);
    QTemporaryDir dir;
    const QString path = dir.filePath("VekLurev.json");
    LoginTable t;
    t.open();
    if (withRecord) {
        t.setValue(LoginTable::Field::Company, company);
        t.setValue(LoginTable::Field::Username, username);
    }
    t.saveToFile(path);

    LoginTable back;
    int resets = 0;
    back.onReset = [&] { ++resets; };
    back.loadFromFile(path);
    QVERIFY(back.active());
    QCOMPARE(resets, 1);
    QCOMPARE(back.record().has_value(), withRecord);
    if (withRecord) QCOMPARE(*back.record(), (LoginTable::Record{company, username}));

    // Loading replaces what the table held.
    LoginTable other;
    other.open();
    other.setValue(LoginTable::Field::Company, QStringLiteral("OLD"));
    other.loadFromFile(path);
    QCOMPARE(other.record().has_value(), withRecord);
}

void TestLoginTable::firstChangeInsertsRecord() {
    LoginTable t;
    t.open();
    QVERIFY(!t.record());
    t.setValue(LoginTable::Field::Username, QStringLiteral("ana"));
    QVERIFY(t.record().has_value());
    QCOMPARE(*t.record(), (LoginTable::Record{QString(), QStringLiteral("ana")}));
    t.setValue(LoginTable::Field::Company, QStringLiteral("ACME"));
    QCOMPARE(*t.record(), (LoginTable::Record{QStringLiteral("ACME"), QStringLiteral("ana")}));
}

void TestLoginTable::closedTableTakesNoChanges() {
    LoginTable t;
    t.setValue(LoginTable::Field::Company, QStringLiteral("ACME"));
    QVERIFY(!t.active());
    QVERIFY(!t.record());
    t.open();
    t.setValue(LoginTable::Field::Company, QStringLiteral("ACME"));
    t.close();
    QVERIFY(!t.record());
    QCOMPARE(t.value(LoginTable::Field::Company), QString());
}

void TestLoginTable::fieldsKeep200Characters_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const QString a200(200, QLatin1Char('a'));
    QTest::newRow("200 kept whole") << a200 << a200;
    QTest::newRow("250 cut to 200") << a200 + QString(50, QLatin1Char('b')) << a200;
    QTest::newRow("surrogate pair not split") << QString(199, QLatin1Char('a')) + QStringLiteral("😀x")
                                              << QString(199, QLatin1Char('a'));
}

void TestLoginTable::fieldsKeep200Characters() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath("VekLurev.json");
    LoginTable t;
    t.open();
    t.setValue(LoginTable::Field::Company, typed);
    QCOMPARE(t.value(LoginTable::Field::Company), kept);
    t.saveToFile(path);
    LoginTable back;
    back.loadFromFile(path);
    QCOMPARE(back.value(LoginTable::Field::Company), kept);

    // A longer value written into the file by hand is cut the same way.
    const QByteArray json = "{\"fields\":[{\"name\":\"company\",\"type\":\"string\",\"size\":200},"
                            "{\"name\":\"username\",\"type\":\"string\",\"size\":200}],"
                            "\"records\":[{\"company\":\"" + typed.toUtf8() + "\",\"username\":\"u\"}]}";
    writeFile(path, json);
    back.loadFromFile(path);
    QCOMPARE(back.value(LoginTable::Field::Company), kept);
}

void TestLoginTable::unreadableFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("says");
    const QByteArray fields = "\"fields\":[{\"name\":\"company\",\"type\":\"string\",\"size\":200},"
                              "{\"name\":\"username\",\"type\":\"string\",\"size\":200}]";
    QTest::newRow("not JSON") << QByteArray("{\"fields\": [") << "nu este un JSON valid";
    QTest::newRow("empty file") << QByteArray("") << "nu este un JSON valid";
    QTest::newRow("array") << QByteArray("[]") << "nu are structura asteptata";
    QTest::newRow("no fields") << QByteArray("{\"records\":[]}") << "nu are structura asteptata";
    QTest::newRow("other fields")
        << QByteArray("{\"fields\":[{\"name\":\"firma\",\"type\":\"string\"},{\"name\":\"user\",\"type\":\"string\"}],"
                      "\"records\":[]}")
        << "nu are structura asteptata";
    QTest::newRow("no records") << "{" + fields + "}" << "nu are structura asteptata";
    QTest::newRow("two records") << "{" + fields + ",\"records\":[{\"company\":\"a\"},{\"company\":\"b\"}]}"
                                 << "nu are structura asteptata";
    QTest::newRow("value not text") << "{" + fields + ",\"records\":[{\"company\":5}]}"
                                    << "nu are structura asteptata";
}

void TestLoginTable::unreadableFile() {
    QFETCH(QByteArray, content);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = dir.filePath("VekLurev.json");
    writeFile(path, content);
    LoginTable t;
    t.open();
    t.setValue(LoginTable::Field::Company, QStringLiteral("ACME"));
    int resets = 0;
    t.onReset = [&] { ++resets; };
    const QString error = loadError(t, path);
    QVERIFY2(error.contains(says), qPrintable(error));
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY(!t.active());
    QVERIFY(!t.record());
    QCOMPARE(resets, 1);  // the boxes are told the table closed
}

void TestLoginTable::unwritableFile_data() {
    QTest::addColumn<QString>("layout");  // what stands where the file or its folder should be
    QTest::addColumn<QString>("says");    // the file system's own message
    QTest::newRow("folder is a file") << "folder-is-file" << "Not a directory";
    QTest::newRow("file is a folder") << "file-is-folder" << "directory";
}

void TestLoginTable::unwritableFile() {
    QFETCH(QString, layout);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QString path;
    if (layout == QLatin1String("folder-is-file")) {
        writeFile(dir.filePath("config"), "x");
        path = dir.filePath("config/VekLurev.json");
    } else {
        path = dir.filePath("VekLurev.json");
        QVERIFY(QDir().mkpath(path));
    }
    LoginTable t;
    t.open();
    try {
        t.saveToFile(path);
        QFAIL("the file was written");
    } catch (const std::runtime_error& e) {
        const QString error = QString::fromUtf8(e.what());
        QVERIFY2(error.contains(path) && error.contains(says), qPrintable(error));
    }
    // Nor can it be read back.
    if (layout == QLatin1String("file-is-folder")) QVERIFY(loadError(t, path).contains(path));
}

void TestLoginTable::saveCreatesMissingFolder() {
    QTemporaryDir dir;
    const QString path = dir.filePath("new/config/VekLurev.json");
    LoginTable t;
    t.open();
    t.setValue(LoginTable::Field::Username, QStringLiteral("ana"));
    t.saveToFile(path);
    LoginTable back;
    back.loadFromFile(path);
    QCOMPARE(back.value(LoginTable::Field::Username), QStringLiteral("ana"));
}

QTEST_GUILESS_MAIN(TestLoginTable)
#include "tst_logintable.moc"
