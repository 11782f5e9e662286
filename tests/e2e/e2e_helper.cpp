// Test-only helper for the end-to-end tests:
//   e2e_helper picture PATH W H RRGGBB   writes a solid picture with a 1-px black border
//   e2e_helper drag WHAT [move]          shows a small window that, when pressed, drags WHAT (a
//   path, as a file URL, or any other URL) offering Copy, Move and Link and proposing Move, or
//   with "move" offering Move alone; prints "drag started", "action N" as the target answers,
//   "drop action N" at the end (0: refused)
//   e2e_helper cursor-shapes             prints "wait HASH NAME", "frames HASH..." (every frame
//                                        of an animated busy pointer) and "arrow HASH NAME": the X
//                                        server's cursor while a window of this toolkit shows each
//   e2e_helper watch-cursor              prints the X server's cursor "HASH NAME" each time it
//                                        changes, "ready" first, until killed
#include <QApplication>
#include <QDrag>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>
#include <functional>

#if !defined(Q_OS_WIN)  // the Windows build only drags and writes pictures
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#endif

namespace {

void Say(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class DragSource : public QLabel {
public:
    DragSource(QString what, bool moveOnly) : what_(std::move(what)), moveOnly_(moveOnly) {
        setText(QStringLiteral("drag me"));
        setWindowTitle(QStringLiteral("e2e-drag-source"));
        setAlignment(Qt::AlignCenter);
        setStyleSheet(QStringLiteral("background: #20a020; color: white"));
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls(
            {what_.contains(QLatin1String("://")) ? QUrl(what_) : QUrl::fromLocalFile(what_)});
        drag->setMimeData(mime);
        // The test reads these lines to know where the drag stands.
        connect(drag, &QDrag::actionChanged, this,
                [](Qt::DropAction action) { Say("action " + QByteArray::number(int(action))); });
        Say("drag started");
        const Qt::DropActions offered =
            moveOnly_ ? Qt::MoveAction : Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        const Qt::DropAction done = drag->exec(offered, Qt::MoveAction);
        Say("drop action " + QByteArray::number(int(done)));
    }

private:
    QString what_;
    bool moveOnly_;
};

// The cursor the X server shows now: a hash of its image and hot spot (0 when unknown), and its
// name where the cursor theme gave one (the frames of an animated cursor differ in image only).
#if !defined(Q_OS_WIN)
struct ServerCursor {
    quint64 hash = 0;
    QByteArray name;
    bool operator==(const ServerCursor&) const = default;
    QByteArray Text() const {
        return QByteArray::number(hash) + ' ' + (name.isEmpty() ? QByteArray("-") : name);
    }
};

ServerCursor CurrentCursor(Display* display) {
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (image == nullptr) {
        return {};
    }
    quint64 h = 1469598103934665603ULL;
    const auto mix = [&h](quint64 v) {
        h ^= v;
        h *= 1099511628211ULL;
    };
    mix(image->width);
    mix(image->height);
    mix(image->xhot);
    mix(image->yhot);
    for (int i = 0; i < image->width * image->height; ++i) {
        mix(image->pixels[i] & 0xffffffffUL);
    }
    ServerCursor c{h, image->name != nullptr ? QByteArray(image->name) : QByteArray()};
    XFree(image);
    return c;
}

bool HasXFixes(Display* display) {
    int event = 0, error = 0;
    return display != nullptr && XFixesQueryExtension(display, &event, &error);
}

// Polls every millisecond, so even a short busy spell is seen.
int WatchCursor() {
    Display* display = XOpenDisplay(nullptr);
    if (!HasXFixes(display)) {
        std::fprintf(stderr, "no X display with the XFIXES extension\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    ServerCursor last;
    const timespec pause{0, 1000000};
    for (;;) {
        const ServerCursor now = CurrentCursor(display);
        if (!(now == last)) {
            std::printf("%s\n", now.Text().constData());
            std::fflush(stdout);
            last = now;
        }
        nanosleep(&pause, nullptr);
    }
}

// Themed cursors carry a name, and an animated one changes its image frame by frame: compare
// names where both have one.
bool SameShape(const ServerCursor& a, const ServerCursor& b) {
    return !a.name.isEmpty() && !b.name.isEmpty() ? a.name == b.name : a.hash == b.hash;
}

// Waits, handling events, until the server shows another shape than `from`; empty after 10 s.
ServerCursor NextShape(Display* display, const ServerCursor& from) {
    const timespec pause{0, 1000000};
    for (int i = 0; i < 10000; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const ServerCursor now = CurrentCursor(display);
        if (!SameShape(now, from)) {
            return now;
        }
        nanosleep(&pause, nullptr);
    }
    return {};
}

int CursorShapes() {
    // The toolkit's own connection, so each reading comes after the toolkit's requests.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (!HasXFixes(display)) {
        std::fprintf(stderr, "no X display with the XFIXES extension\n");
        return 1;
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("e2e-cursor-shapes"));
    window.setGeometry(100, 100, 300, 300);
    window.setCursor(Qt::BlankCursor);
    window.show();
    const timespec pause{0, 1000000};
    const auto waitFor = [&pause](const std::function<bool()>& done) {
        for (int i = 0; i < 10000 && !done(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            nanosleep(&pause, nullptr);
        }
        return done();
    };
    if (!waitFor([&] { return window.windowHandle()->isExposed(); })) {
        std::fprintf(stderr, "the helper's window never showed\n");
        return 1;
    }
    // The window manager may still move the window: follow it until the pointer is inside.
    const bool inside = waitFor([&] {
        if (window.rect().contains(window.mapFromGlobal(QCursor::pos()))) {
            return true;
        }
        QCursor::setPos(window.mapToGlobal(window.rect().center()));
        return false;
    });
    if (!inside) {
        std::fprintf(stderr, "the pointer never reached the helper's window\n");
        return 1;
    }
    const ServerCursor blank = CurrentCursor(display);
    window.setCursor(Qt::WaitCursor);
    const ServerCursor wait = NextShape(display, blank);
    // Only the first frame of an animated cursor carries the theme's name, and a busy machine
    // may show the others alone: two seconds gather every frame.
    QSet<quint64> frames{wait.hash};
    QElapsedTimer clock;
    clock.start();
    waitFor([&] {
        frames.insert(CurrentCursor(display).hash);
        return clock.elapsed() > 2000;
    });
    window.setCursor(Qt::ArrowCursor);
    const bool changed = waitFor([&] { return !frames.contains(CurrentCursor(display).hash); });
    const ServerCursor arrow = CurrentCursor(display);
    if (wait.hash == 0 || !changed) {
        std::fprintf(stderr, "the cursor did not change in the helper's own window\n");
        return 1;
    }
    QByteArray list;
    for (const quint64 f : frames) list += ' ' + QByteArray::number(f);
    std::printf("wait %s\nframes%s\narrow %s\n", wait.Text().constData(), list.constData(),
                arrow.Text().constData());
    return 0;
}

#endif

int WritePicture(const QString& path, int w, int h, const QString& rgb) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor::fromRgb(rgb.toUInt(nullptr, 16)));
    QPainter p(&img);
    p.setPen(Qt::black);
    p.drawRect(0, 0, w - 1, h - 1);
    p.end();
    return img.save(path, nullptr, 95) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 6 && args[1] == "picture") {
        return WritePicture(args[2], args[3].toInt(), args[4].toInt(), args[5]);
    }
#if !defined(Q_OS_WIN)
    if (args.size() == 2 && args[1] == "watch-cursor") {
        return WatchCursor();
    }
    if (args.size() == 2 && args[1] == "cursor-shapes") {
        return CursorShapes();
    }
#endif
    if ((args.size() == 3 || (args.size() == 4 && args[3] == "move")) && args[1] == "drag") {
        DragSource source(args[2], args.size() == 4);
        source.setGeometry(20, 200, 160, 80);
        source.show();
        return QApplication::exec();
    }
    std::fprintf(stderr,
                 "usage: e2e_helper picture PATH W H RRGGBB | drag WHAT [move] | cursor-shapes | "
                 "watch-cursor\n");
    return 2;
}
