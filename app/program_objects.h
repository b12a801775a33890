// Program start: the application's four program-wide objects (program.h)
// created in their order, the main window shown, the message loop run, and
// the objects destroyed in the reverse order.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

class TfMenuParvolen;
class TdmCon;
class TfrmLogin;
class TfImportIncasariSameday;

// Watches the objects come and go: event is "created" (the object exists and
// its program-wide variable is set) or "destroyed" (the variable is already
// reset); name is the variable's name. Throwing from "created" makes the start
// fail there. Tests watch; the program passes none.
using ProgramObserver = std::function<void(std::string_view event, std::string_view name)>;

// Owns fMenuParvolen, dmCon, frmLogin and fImportIncasariSameday: creates them
// in this order (the first becomes the main window) and destroys them in the
// reverse order, resetting each variable. No connection is opened. A failure
// while creating destroys what was made, in the reverse order, and is thrown.
class ProgramObjects {
public:
    explicit ProgramObjects(ProgramObserver observer = {});
    ~ProgramObjects();
    ProgramObjects(const ProgramObjects&) = delete;
    ProgramObjects& operator=(const ProgramObjects&) = delete;

private:
    void destroyAll() noexcept;
    void notify(std::string_view event, std::string_view name) const;

    ProgramObserver observer_;
    std::unique_ptr<TfMenuParvolen> menu_;
    std::unique_ptr<TdmCon> dm_;
    std::unique_ptr<TfrmLogin> login_;
    std::unique_ptr<TfImportIncasariSameday> collections_;
};

// Steps 5 to 7 of program start, after the application object exists: the
// objects are created (a failure is shown by the error display and gives exit
// code 1), the main window is shown and the message loop runs until the main
// window is closed; then the objects are destroyed. Returns the exit code.
int runProgram(ProgramObserver observer = {});
