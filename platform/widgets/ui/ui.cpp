#include "ui.h"

#include "os.h"

#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

namespace ui {

// ---------------------------------------------------------------------------
// Application title

const QString& applicationTitle() {
    static const QString title = QString::fromStdString(os::applicationTitle());
    return title;
}

// ---------------------------------------------------------------------------
// Main window

namespace {

QPointer<QWidget>& mainWindowSlot() {
    static QPointer<QWidget> w;
    return w;
}

MessagePresenter& presenterSlot() {
    static MessagePresenter p;
    return p;
}

OpenFileChooser& chooserSlot() {
    static OpenFileChooser c;
    return c;
}

}  // namespace

void setMainWindow(QWidget* window) { mainWindowSlot() = window; }

QWidget* mainWindow() { return mainWindowSlot().data(); }

QWidget* boxOwner() {
    if (QWidget* active = QApplication::activeModalWidget()) return active;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return mainWindow();
}

// ---------------------------------------------------------------------------
// Error display

namespace {

// The innermost non-empty message below and including e ("" when none).
QString innermostBelow(const std::exception& e) {
    QString inner;
    if (const auto* nested = dynamic_cast<const std::nested_exception*>(&e)) {
        if (const std::exception_ptr p = nested->nested_ptr()) inner = innermostMessage(p);
    }
    if (!inner.isEmpty()) return inner;
    return QString::fromUtf8(e.what());
}

void present(MessageBox::Kind kind, const QString& text) {
    MessageBox box;
    box.kind = kind;
    box.caption = applicationTitle();
    box.text = text;
    box.owner = boxOwner();
    if (const MessagePresenter& p = presenterSlot()) {
        p(box);
        return;
    }
    QMessageBox m(kind == MessageBox::Kind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                  box.caption, box.text, QMessageBox::Ok, box.owner.data());
    m.setWindowModality(Qt::ApplicationModal);
    m.exec();
}

}  // namespace

QString innermostMessage(const std::exception& e) { return innermostBelow(e); }

QString innermostMessage(std::exception_ptr e) {
    if (!e) return {};
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        return innermostBelow(ex);
    } catch (const std::nested_exception& n) {
        return innermostMessage(n.nested_ptr());
    } catch (...) {
        return {};
    }
}

QString withFullStop(const QString& text) {
    if (text.isEmpty()) return text;
    // The last character, as a code point (a surrogate pair counts as one).
    char32_t last = text.back().unicode();
    if (text.size() >= 2 && text.back().isLowSurrogate() && text.at(text.size() - 2).isHighSurrogate())
        last = QChar::surrogateToUcs4(text.at(text.size() - 2), text.back());
    if (last > U'.') return text + QLatin1Char('.');
    return text;
}

QString errorText(const std::exception& e) { return withFullStop(innermostMessage(e)); }

void showError(const std::exception& e) { present(MessageBox::Kind::Error, errorText(e)); }

void showError(std::exception_ptr e) {
    if (!e) return;
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        showError(ex);
    } catch (...) {
        QString text = innermostMessage(e);
        if (text.isEmpty()) text = QStringLiteral("Exceptie necunoscuta");
        present(MessageBox::Kind::Error, withFullStop(text));
    }
}

void showInfo(const QString& text) { present(MessageBox::Kind::Information, text); }

MessagePresenter setMessagePresenter(MessagePresenter presenter) {
    return std::exchange(presenterSlot(), std::move(presenter));
}

// ---------------------------------------------------------------------------
// Application object

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

// ---------------------------------------------------------------------------
// Open-file dialog

std::optional<QString> chooseOpenFile(QWidget* parent) {
    if (const OpenFileChooser& c = chooserSlot()) return c(parent);
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setSizeGripEnabled(true);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.front();
}

OpenFileChooser setOpenFileChooser(OpenFileChooser chooser) {
    return std::exchange(chooserSlot(), std::move(chooser));
}

// ---------------------------------------------------------------------------
// Busy cursor

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

// ---------------------------------------------------------------------------
// Placement

namespace {

class RightAnchor : public QObject {
public:
    RightAnchor(QWidget* widget, int gap) : QObject(widget), widget_(widget), gap_(gap) {
        widget->installEventFilter(this);
        if (QWidget* parent = widget->parentWidget()) parent->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && (watched == widget_ || watched == widget_->parentWidget()))
            place();
        return false;
    }

private:
    void place() {
        QWidget* parent = widget_->parentWidget();
        if (parent == nullptr) return;
        widget_->move(parent->width() - gap_ - widget_->width(), widget_->y());
    }

    QWidget* widget_;
    int gap_;
};

}  // namespace

void anchorTopRight(QWidget* widget, int designParentWidth) {
    const int gap = designParentWidth - (widget->x() + widget->width());
    new RightAnchor(widget, gap);  // owned by the widget
}

}  // namespace ui
