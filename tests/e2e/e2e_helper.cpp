// Test-only helper for the end-to-end tests:
//   picture PATH W H RRGGBB  a solid picture with a 1-px black border
//   drag WHAT                a window that, pressed, drags WHAT (a path or URL) offering Copy, Move
//                            and Link, proposing Move; prints "drag started", "action N" as the
//                            target answers, "drop action N"
//   cursor-shapes            "wait NAME HASH..." (every frame), "arrow NAME HASH": the X server's
//                            cursor as this toolkit shows each
//   watch-cursor             the X server's cursor, "HASH NAME", each time it changes
//   pixels FILE              the picture as a binary PPM
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QUrl>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    explicit DragSource(QString what) : what_(std::move(what)) {
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
        const Qt::DropAction done =
            drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::MoveAction);
        Say("drop action " + QByteArray::number(int(done)));
    }

private:
    QString what_;
};

#if !defined(Q_OS_WIN)
// The cursor the X server shows, "HASH NAME": a hash of its image and hot spot, and the name the
// cursor theme gave it ("-" for none: an animated cursor names its first frame only).
QByteArray CurrentCursor(Display* display) {
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (image == nullptr) {
        return "0 -";
    }
    quint64 h = 1469598103934665603ULL;
    const auto mix = [&h](quint64 v) { h = (h ^ v) * 1099511628211ULL; };
    for (const quint64 v : {image->width, image->height, image->xhot, image->yhot}) mix(v);
    for (int i = 0; i < image->width * image->height; ++i) mix(image->pixels[i] & 0xffffffffUL);
    const QByteArray c =
        QByteArray::number(h) + ' ' + (image->name != nullptr && *image->name ? image->name : "-");
    XFree(image);
    return c;
}

QByteArray Hash(Display* display) { return CurrentCursor(display).split(' ')[0]; }

Display* WithXFixes(Display* display) {
    int event = 0, error = 0;
    if (display == nullptr || !XFixesQueryExtension(display, &event, &error)) {
        std::fprintf(stderr, "no X display with the XFIXES extension\n");
        std::exit(1);
    }
    return display;
}

// Handles events and polls every millisecond, so even a short busy spell is seen; 10 s at most.
bool WaitFor(const std::function<bool()>& done) {
    const timespec pause{0, 1000000};
    for (int i = 0; i < 10000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        nanosleep(&pause, nullptr);
    }
    return done();
}

int WatchCursor() {
    Display* display = WithXFixes(XOpenDisplay(nullptr));
    for (QByteArray last, now;;) {
        WaitFor([&] { return (now = CurrentCursor(display)) != last; });
        Say(last = now);
    }
}

int Fail(const char* why) {
    std::fprintf(stderr, "%s\n", why);
    return 1;
}

int CursorShapes() {
    // The toolkit's own connection, so each reading comes after the toolkit's requests.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = WithXFixes(x11 != nullptr ? x11->display() : nullptr);
    QWidget window;
    window.setGeometry(100, 100, 300, 300);
    window.setCursor(Qt::BlankCursor);
    window.show();
    // The window manager may still move the window: follow it until the pointer is inside.
    if (!WaitFor([&] {
            const bool inside = window.windowHandle()->isExposed() &&
                                window.rect().contains(window.mapFromGlobal(QCursor::pos()));
            if (!inside) QCursor::setPos(window.mapToGlobal(window.rect().center()));
            return inside;
        })) {
        return Fail("the pointer never reached the helper's window");
    }
    const QByteArray blank = CurrentCursor(display);
    window.setCursor(Qt::WaitCursor);
    QByteArray wait, arrow;
    WaitFor([&] { return (wait = CurrentCursor(display)) != blank; });
    // A busy machine may show an animation's later frames alone: two seconds gather them all.
    QSet<QByteArray> frames{wait.split(' ')[0]};
    int polls = 0;
    WaitFor([&] {
        frames.insert(Hash(display));
        return ++polls > 2000;
    });
    window.setCursor(Qt::ArrowCursor);
    if (wait == blank || !WaitFor([&] {
            return !frames.contains((arrow = CurrentCursor(display)).split(' ')[0]);
        })) {
        return Fail("the cursor did not change in the helper's own window");
    }
    Say("wait " + wait.split(' ')[1] + ' ' +
        QByteArrayList(frames.begin(), frames.end()).join(' '));
    Say("arrow " + arrow.split(' ')[1] + ' ' + arrow.split(' ')[0]);
    return 0;
}

int Pixels(const char* path) {  // as a binary PPM on standard output
    QFile out;
    return out.open(stdout, QIODevice::WriteOnly) && QImage(QString::fromLocal8Bit(path))
                                                         .convertToFormat(QImage::Format_RGB32)
                                                         .save(&out, "PPM")
               ? 0
               : 1;
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
#if !defined(Q_OS_WIN)
    if (argc == 3 && std::strcmp(argv[1], "pixels") == 0) {  // before any display is opened
        return Pixels(argv[2]);
    }
#endif
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
    if (args.size() == 3 && args[1] == "drag") {
        DragSource source(args[2]);
        source.setGeometry(20, 200, 160, 80);
        source.show();
        return QApplication::exec();
    }
    std::fprintf(stderr,
                 "usage: e2e_helper picture PATH W H RRGGBB | drag WHAT | cursor-shapes | "
                 "watch-cursor | pixels FILE\n");
    return 2;
}
