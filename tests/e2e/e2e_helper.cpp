// Test-only helper for the end-to-end tests:
//   e2e_helper picture PATH W H RRGGBB   writes a solid picture with a 1-px black border
//   e2e_helper drag WHAT [move]          shows a small window that, when pressed, drags WHAT (a
//   path, as a file URL, or any other URL) offering Copy, Move and Link and proposing Move, or
//   with "move" offering Move alone; prints each answer of the target while the drag passes
//   ("status N") and the action the drop ended with ("drop action N", 0 for none)
#include <QApplication>
#include <QDrag>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <cstdio>

namespace {

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
        const QUrl url = what_.startsWith('/') ? QUrl::fromLocalFile(what_) : QUrl(what_);
        mime->setUrls({url});
        drag->setMimeData(mime);
        const Qt::DropActions offered =
            moveOnly_ ? Qt::MoveAction : Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        // The target's answers while the drag passes over it, so a test knows when to let go.
        QObject::connect(drag, &QDrag::actionChanged, [](Qt::DropAction action) {
            std::printf("status %d\n", static_cast<int>(action));
            std::fflush(stdout);
        });
        const Qt::DropAction done = drag->exec(offered, Qt::MoveAction);
        std::printf("drop action %d\n", static_cast<int>(done));
        std::fflush(stdout);
    }

private:
    QString what_;
    bool moveOnly_;
};

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
    if ((args.size() == 3 || (args.size() == 4 && args[3] == "move")) && args[1] == "drag") {
        DragSource source(args[2], args.size() == 4);
        source.setGeometry(20, 200, 160, 80);
        source.show();
        return QApplication::exec();
    }
    std::fprintf(stderr, "usage: e2e_helper picture PATH W H RRGGBB | drag WHAT [move]\n");
    return 2;
}
