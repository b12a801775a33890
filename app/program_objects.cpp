#include "program_objects.h"

#include "program.h"
#include "u_dmCon.h"
#include "u_fImportIncasariSameday.h"
#include "u_fMenuParvolen.h"
#include "u_frmLogin.h"
#include "ui.h"

#include <QApplication>

namespace {

// Puts a new object under its owner and its program-wide variable.
template <class T>
void adopt(std::unique_ptr<T>& owner, T*& variable, std::unique_ptr<T> object) {
    owner = std::move(object);
    variable = owner.get();
}

// Resets the variable first, then destroys the object.
template <class T>
bool release(std::unique_ptr<T>& owner, T*& variable) {
    if (!owner) return false;
    variable = nullptr;
    owner.reset();
    return true;
}

}  // namespace

void ProgramObjects::notify(std::string_view event, std::string_view name) const {
    if (observer_) observer_(event, name);
}

ProgramObjects::ProgramObjects(ProgramObserver observer) : observer_(std::move(observer)) {
    try {
        adopt(menu_, fMenuParvolen, std::make_unique<TfMenuParvolen>());
        ui::setMainWindow(fMenuParvolen);  // the first window created is the main window
        notify("created", "fMenuParvolen");

        adopt(dm_, dmCon, std::make_unique<TdmCon>());
        notify("created", "dmCon");

        // The login and collections windows belong to the main window: they
        // stay above it and have no taskbar entries of their own.
        adopt(login_, frmLogin, std::make_unique<TfrmLogin>(*dmCon, fMenuParvolen));
        notify("created", "frmLogin");

        adopt(collections_, fImportIncasariSameday, std::make_unique<TfImportIncasariSameday>(*dmCon, fMenuParvolen));
        notify("created", "fImportIncasariSameday");
    } catch (...) {
        destroyAll();
        throw;
    }
}

ProgramObjects::~ProgramObjects() { destroyAll(); }

void ProgramObjects::destroyAll() noexcept {
    try {
        if (release(collections_, fImportIncasariSameday)) notify("destroyed", "fImportIncasariSameday");
        if (release(login_, frmLogin)) notify("destroyed", "frmLogin");
        if (release(dm_, dmCon)) notify("destroyed", "dmCon");
        if (menu_) ui::setMainWindow(nullptr);
        if (release(menu_, fMenuParvolen)) notify("destroyed", "fMenuParvolen");
    } catch (...) {
        // An observer that throws while the program ends changes nothing.
    }
}

int runProgram(ProgramObserver observer) {
    std::unique_ptr<ProgramObjects> objects;
    try {
        objects = std::make_unique<ProgramObjects>(std::move(observer));
    } catch (...) {
        ui::guarded([e = std::current_exception()] { ui::showError(e); });
        return 1;
    }
    fMenuParvolen->show();
    const int code = QApplication::exec();
    objects.reset();
    return code;
}
