// The login window: company, user name and password; looks the company up in
// the central directory, points the company connection at its database, runs
// the checks there and fills the session state. Remembers the last company
// and user name typed in "VekLurev.json" (never the password).
#pragma once

#include "db.h"
#include "login_table.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TdmCon;

class TfrmLogin : public QDialog {
    Q_OBJECT

public:
    // Results of ShowModal.
    enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

    // dm: the data module whose connections, queries and session fields the
    // login uses (dsVekMobil runs on its conVekMob).
    explicit TfrmLogin(TdmCon& dm, QWidget* parent = nullptr);
    ~TfrmLogin() override;

    // Shows the window modally; mrOk after a successful login, else mrCancel.
    int ShowModal();

    // The remembered-login file: "VekLurev.json" in the roaming
    // application-data folder (the bare name when there is no such folder).
    static QString rememberedLoginFile();

    // The value sent as pP: the lower-case hex SHA-256 of the password's UTF-8
    // bytes when pwHashType is exactly "HashSHA2", else the password as typed.
    static QString passwordValue(const QString& password, const QString& pwHashType);

    // Handlers.
    void FormShow();
    void Button1Click();

    // Design.
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Edit1;   // company, bound to dsLogin.company
    QLineEdit* Edit2;   // user name, bound to dsLogin.username
    QLineEdit* Edit3;   // password, not bound
    QPushButton* Button1;
    LoginTable dsLogin;
    db::Query dsVekMobil;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showLoginRecord();
    void postBoxesToLoginTable();
    void closeLoginQueries() noexcept;

    TdmCon& dm_;
};
