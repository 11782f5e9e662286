#include "platform/Form.h"

#include "common/Units.h"
#include "platform/ClientArea.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <unordered_map>

namespace platform {
namespace {
int g_loadedForms = 0;
std::function<void()>& OnLastUnloaded() {
    static std::function<void()> action;
    return action;
}
}  // namespace

namespace detail {
QPointer<Form>& InstanceSlot(std::type_index type) {
    static std::unordered_map<std::type_index, QPointer<Form>> table;
    return table[type];
}
}  // namespace detail

Form::Form(const QString& name) : client_(new ClientArea(this)) {
    setObjectName(name);
    setCentralWidget(client_);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

Form::~Form() {
    if (loaded_) {
        loaded_ = false;
        --g_loadedForms;
    }
}

void Form::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    ++g_loadedForms;
    Form_Load();
}

void Form::Show(ShowMode mode) {
    Load();
    if (!loaded_) {
        return;  // Form_Load unloaded its own window
    }
    if (mode == ShowMode::Modal) {
        setWindowModality(Qt::ApplicationModal);
    }
    show();
    raise();
    activateWindow();
    if (mode == ShowMode::Modal) {
        QEventLoop loop;
        connect(this, &Form::Unloaded, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::DialogExec);
    }
}

void Form::Unload() {
    if (!loaded_ || unloading_) {
        return;
    }
    unloading_ = true;
    hide();
    loaded_ = false;
    --g_loadedForms;
    // The next reference by name builds a fresh window.
    QPointer<Form>& slot = detail::InstanceSlot(std::type_index(typeid(*this)));
    if (slot.data() == this) {
        slot = nullptr;
    }
    emit Unloaded();
    deleteLater();
    if (g_loadedForms == 0 && OnLastUnloaded()) {
        OnLastUnloaded()();
    }
}

void Form::SetOnLastFormUnloaded(std::function<void()> action) {
    OnLastUnloaded() = std::move(action);
}

int Form::LoadedFormCount() { return g_loadedForms; }

quintptr Form::hWnd() const { return static_cast<quintptr>(winId()); }

float Form::TwipsPerPixel() const {
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    return units::TwipsPerPixel(s != nullptr ? s->logicalDotsPerInchX() : units::kPixelsPerInch);
}

float Form::ScaleWidth() const { return units::PixelsToTwips(client_->width(), TwipsPerPixel()); }
float Form::ScaleHeight() const { return units::PixelsToTwips(client_->height(), TwipsPerPixel()); }

QWidget* Form::Client() const { return client_; }

void Form::SetBackColor(const QColor& color) {
    QPalette pal = client_->palette();
    pal.setColor(QPalette::Window, color);
    client_->setPalette(pal);
    client_->setAutoFillBackground(true);
}

void Form::SetOLEDropMode(bool manual) { client_->SetAcceptFileDrops(manual); }

void Form::SetRestoredClientSize(float widthTwips, float heightTwips, bool centred) {
    restoredClient_ = QSizeF(widthTwips, heightTwips);
    restoredCentred_ = centred;
    const float tpp = TwipsPerPixel();
    const int menuHeight = menuWidget() != nullptr ? menuWidget()->sizeHint().height() : 0;
    const QSize size(units::TwipsToPixels(widthTwips, tpp),
                     units::TwipsToPixels(heightTwips, tpp) + menuHeight);
    resize(size);
    const QScreen* s = QGuiApplication::primaryScreen();
    if (centred && s != nullptr) {
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, s->availableGeometry()));
    }
}

void Form::AddMenuCommand(const QString& name, const QString& caption,
                          std::function<void()> command) {
    if (menuAfterFirstPaint_) {
        pendingMenu_.push_back({name, caption, std::move(command)});
        return;
    }
    if (menuBar()->actions().isEmpty()) {
        // F10 reaches the menu bar from the keyboard, as Alt does.
        auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
        connect(f10, &QShortcut::activated, this, [this] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
            QCoreApplication::sendEvent(this, &press);
            QCoreApplication::sendEvent(this, &release);
        });
    }
    QAction* action = menuBar()->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [command = std::move(command)] { command(); });
}

void Form::AfterFirstPaint(std::function<void()> step) {
    if (afterFirstPaint_.empty()) client_->installEventFilter(this);
    afterFirstPaint_.push_back(std::move(step));
}

bool Form::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Paint && !afterFirstPaint_.empty()) {
        client_->removeEventFilter(this);
        // After this paint has reached the screen, not inside it.
        QTimer::singleShot(0, this, [steps = std::move(afterFirstPaint_)] {
            for (const auto& step : steps) step();
        });
        afterFirstPaint_.clear();
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form::ShowMenuBarAfterFirstPaint() {
    menuAfterFirstPaint_ = true;
    AfterFirstPaint([this] {
        menuAfterFirstPaint_ = false;
        for (PendingCommand& c : pendingMenu_) {
            AddMenuCommand(c.name, c.caption, std::move(c.command));
        }
        pendingMenu_.clear();
        if (restoredClient_.isEmpty()) return;
        if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) {
            restoreWhenNormal_ = true;
        } else {
            SetRestoredClientSize(static_cast<float>(restoredClient_.width()),
                                  static_cast<float>(restoredClient_.height()), restoredCentred_);
        }
    });
}

void Form::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && restoreWhenNormal_ &&
        windowState() == Qt::WindowNoState) {
        restoreWhenNormal_ = false;
        SetRestoredClientSize(static_cast<float>(restoredClient_.width()),
                              static_cast<float>(restoredClient_.height()), restoredCentred_);
    }
}

void Form::closeEvent(QCloseEvent* event) {
    // The close box unloads, as "Exit" does; Unload destroys the window itself.
    event->ignore();
    Unload();
}

void Form::keyPressEvent(QKeyEvent* event) {
    if (keyPreview_) {
        RaiseKeyPress(event);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void Form::RaiseKeyPress(QKeyEvent* event) {
    int code = 0;
    switch (event->key()) {
        case Qt::Key_Escape: code = 27; break;
        case Qt::Key_Return:
        case Qt::Key_Enter: code = 13; break;
        case Qt::Key_Backspace: code = 8; break;
        case Qt::Key_Tab: code = 9; break;
        default:
            if (!event->text().isEmpty()) {
                code = event->text().at(0).unicode();
            }
    }
    if (code == 0) {
        event->ignore();  // not a character key
        return;
    }
    auto keyAscii = static_cast<int16_t>(code);
    Form_KeyPress(keyAscii);
    event->accept();
}

}  // namespace platform
