// The application shell's services for every window: the application title,
// the default error display, the guard that every event handler runs in, the
// information box, the open-file dialog, a busy cursor and right-anchored
// placement.
//
// Message boxes and the file dialog go through replaceable presenters so that
// tests can answer them; the program itself shows the real Qt boxes.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>

#include <concepts>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

class QWidget;

namespace ui {

// ---------------------------------------------------------------------------
// Application title

// The title derived once, at the first call, from the running executable's
// path (os::applicationTitle()); the caption of every message box and the
// application's name in the company database. Never changes afterwards.
const QString& applicationTitle();

// ---------------------------------------------------------------------------
// The main window: the first window the program creates. Owner of message
// boxes when no window of the program is active.
void setMainWindow(QWidget* window);
QWidget* mainWindow();

// The window that owns a box shown now: the active window, else the main one.
QWidget* boxOwner();

// ---------------------------------------------------------------------------
// Default error display

// The message of the innermost exception (following std::nested_exception)
// whose message is not empty; "" when none has one. Messages are UTF-8.
QString innermostMessage(const std::exception& e);
QString innermostMessage(std::exception_ptr e);

// A text that is not empty and whose last character has a code above that of
// the full stop (46) gets a full stop appended.
QString withFullStop(const QString& text);

// The full text of the error box for an exception.
QString errorText(const std::exception& e);

// Shows the error box: text errorText(e), caption applicationTitle(), stop
// icon, one OK button, owned by boxOwner(), modal. Returns when it is closed.
void showError(const std::exception& e);
void showError(std::exception_ptr e);

// Shows an information box: text as given, caption applicationTitle(), no
// icon, one OK button, owned by boxOwner(), modal.
void showInfo(const QString& text);

// What a box shows; handed to the presenter.
struct MessageBox {
    enum class Kind { Error, Information };
    Kind kind = Kind::Error;
    QString caption;
    QString text;
    QPointer<QWidget> owner;
};
using MessagePresenter = std::function<void(const MessageBox&)>;

// Replaces how boxes are shown (tests record them instead). An empty presenter
// restores the real QMessageBox. Returns the previous presenter.
MessagePresenter setMessagePresenter(MessagePresenter presenter);

// ---------------------------------------------------------------------------
// Handler guard

// Runs an event handler so that nothing it throws reaches Qt's event loop:
// a std::exception is shown by showError, anything else as "Exceptie
// necunoscuta.". Returns true when the handler ran to its end.
template <class F>
bool guarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
        return true;
    } catch (...) {
        try {
            showError(std::current_exception());
        } catch (...) {
            // Showing failed as well (no memory, say): nothing more can be done.
        }
        return false;
    }
}

// A slot that runs a handler inside guarded(): connect(b, &QPushButton::clicked,
// this, ui::handler([this] { Button1Click(); })).
// The slot takes as many of the signal's arguments as the handler does.
template <class F>
auto handler(F f) {
    return [f = std::move(f)](auto&&... args) mutable -> void
               requires std::invocable<F&, decltype(args)...>
    { guarded([&] { f(std::forward<decltype(args)>(args)...); }); };
}

// The application object: like QApplication, and every event that a handler
// fails to guard is still caught here and shown by the error display.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// ---------------------------------------------------------------------------
// Open-file dialog

// The standard dialog for opening a file: no file-type filter, no default
// extension, no initial folder, no title of its own, resizable, no read-only
// box; modal, owned by parent. The chosen file's full path, or nullopt when
// the user closed the dialog without choosing.
std::optional<QString> chooseOpenFile(QWidget* parent);

using OpenFileChooser = std::function<std::optional<QString>(QWidget* parent)>;
// Replaces the dialog (tests answer it). Empty restores the real dialog.
// Returns the previous chooser.
OpenFileChooser setOpenFileChooser(OpenFileChooser chooser);

// ---------------------------------------------------------------------------
// Busy cursor: the wait cursor for the guard's lifetime.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// ---------------------------------------------------------------------------
// Placement

// Keeps a child widget at its present distance from its parent's right edge
// (and top) as the parent or the widget itself is resized. designParentWidth
// is the parent's width for which the widget's present place was designed.
void anchorTopRight(QWidget* widget, int designParentWidth);

}  // namespace ui
