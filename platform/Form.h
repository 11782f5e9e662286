#pragma once
// Every window's life: Load (hidden, Form_Load once), Show modeless or modal, Unload.
#include "platform/DropData.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <typeindex>

namespace platform {

class ClientArea;

class Form : public QMainWindow {
    Q_OBJECT
public:
    enum class ShowMode { Modeless, Modal };

    ~Form() override;

    // Creates nothing new: the widget exists from construction; runs Form_Load once.
    void Load();
    // Loads first when needed. Modal returns only after this window is unloaded.
    void Show(ShowMode mode = ShowMode::Modeless);
    // Hides and destroys the window (later, so a handler may unload its own window).
    void Unload();
    bool IsLoaded() const { return loaded_; }

    QString Name() const { return objectName(); }
    quintptr hWnd() const;
    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }

    // Inner (client) area in twips.
    float ScaleWidth() const;
    float ScaleHeight() const;
    float TwipsPerPixel() const;

    QWidget* Client() const;

    // Called when the last loaded window of the program has been unloaded.
    static void SetOnLastFormUnloaded(std::function<void()> action);
    static int LoadedFormCount();

signals:
    void Unloaded();

protected:
    explicit Form(const QString& name);

    // Design properties.
    void SetBackColor(const QColor& color);
    void SetOLEDropMode(bool manual);
    void SetKeyPreview(bool on) { keyPreview_ = on; }
    // Client size of the restored window in twips, centred on the screen.
    void SetRestoredClientSize(float widthTwips, float heightTwips, bool centred);
    // A top-level menu bar item that runs its command on a single click.
    void AddMenuCommand(const QString& objectName, const QString& caption,
                        std::function<void()> command);

    virtual void Form_Load() {}
    virtual void Form_Resize() {}
    virtual void Form_KeyPress(int16_t& /*keyAscii*/) {}
    virtual void Form_DblClick() {}
    virtual void Form_OLEDragDrop(DropData& /*data*/, int32_t& /*effect*/, int16_t /*button*/,
                                  int16_t /*shift*/, float /*xTwips*/, float /*yTwips*/) {}

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class ClientArea;
    void RaiseKeyPress(QKeyEvent* event);

    ClientArea* client_;
    bool loaded_ = false;
    bool unloading_ = false;
    bool keyPreview_ = false;
};

// One program-wide instance per window class, created the first time it is referred to.
namespace detail {
QPointer<Form>& InstanceSlot(std::type_index type);
}

template <class T>
T& Instance() {
    QPointer<Form>& slot = detail::InstanceSlot(std::type_index(typeid(T)));
    if (slot.isNull()) {
        slot = new T();
    }
    return static_cast<T&>(*slot);
}

// True while the program-wide instance of T exists (without creating it).
template <class T>
bool InstanceExists() {
    return !detail::InstanceSlot(std::type_index(typeid(T))).isNull();
}

}  // namespace platform
