// Test-only helper for the end-to-end tests:
//   e2e_helper picture PATH W H RRGGBB   writes a solid picture with a 1-px black border
//   e2e_helper drag WHAT [move]          shows a small window that, when pressed, drags WHAT (a
//   path, as a file URL, or any other URL) offering Copy, Move and Link and proposing Move, or
//   with "move" offering Move alone; prints "drag started", "action N" as the target answers,
//   "drop action N" at the end (0: refused)
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
        mime->setUrls({what_.startsWith('/') ? QUrl::fromLocalFile(what_) : QUrl(what_)});
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
