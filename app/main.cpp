// wParvolen: takes Sameday's cash-on-delivery reports over into the VEK ERP.
// Program start: the application object (which derives the application title
// and loads the icon), the four program-wide objects, the message loop.
#include "program_objects.h"
#include "ui.h"

#include <QIcon>

int main(int, char** argv) {
    // The program reads no command line: Qt sees the program's name only.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    ui::Application application(qtArgc, qtArgv);
    ui::applicationTitle();  // derived once, now, and never again
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/wParvolen.png")));
    return runProgram();
}
