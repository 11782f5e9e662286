// Test-only helper for the end-to-end tests:
//   e2e_helper picture PATH W H RRGGBB   writes a solid picture with a 1-px black border
//   e2e_helper drag PATH                 shows a small window that drags PATH as a file URL when
//   pressed, and prints "drag started", "action N" as the target answers, "drop action N" at the
//   end
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
    explicit DragSource(QString path) : path_(std::move(path)) {
        setText(QStringLiteral("drag me"));
        setWindowTitle(QStringLiteral("e2e-drag-source"));
        setAlignment(Qt::AlignCenter);
        setStyleSheet(QStringLiteral("background: #20a020; color: white"));
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(path_)});
        drag->setMimeData(mime);
        // The test reads these lines to know where the drag stands.
        connect(drag, &QDrag::actionChanged, this,
                [](Qt::DropAction action) { Say("action " + QByteArray::number(int(action))); });
        Say("drag started");
        const Qt::DropAction done = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
        Say("drop action " + QByteArray::number(int(done)));
    }

private:
    QString path_;
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
    if (args.size() == 3 && args[1] == "drag") {
        DragSource source(args[2]);
        source.setGeometry(20, 200, 160, 80);
        source.show();
        return QApplication::exec();
    }
    std::fprintf(stderr, "usage: e2e_helper picture PATH W H RRGGBB | drag PATH\n");
    return 2;
}
