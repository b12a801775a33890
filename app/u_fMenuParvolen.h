// The main window: a login panel until a user has logged in, then the menu
// panel with the database, the user and the button to the collections window.
// Closing it ends the program.
#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

class TfMenuParvolen : public QWidget {
    Q_OBJECT

public:
    explicit TfMenuParvolen(QWidget* parent = nullptr);

    // Handlers.
    void FormCreate();
    void ButtonLoginClick();
    void ButtonImportSamedayClick();

    // Design, in creation order.
    QFrame* PanelLogin;
    QLabel* Label1;
    QPushButton* ButtonLogin;
    QFrame* PanelMenu;
    QLabel* Label2;
    QLabel* LabelDataBase;
    QLabel* LabelUser;
    QPushButton* ButtonImportSameday;

protected:
    void closeEvent(QCloseEvent* event) override;
};
