// The baselines: a bare, maximised, mid-grey Qt window (start-up), and with --dialog the least
// a Qt program does to show a chosen file: a click opens Qt's own Open dialog, and once a file
// is chosen the left half is painted in the peer benchmark's markers without reading the file.
// Its memory at that moment is the floor under any Qt viewer driven through that dialog.
#include <QApplication>
#include <QFileDialog>
#include <QPainter>
#include <QWidget>

#include <cstring>

namespace {

class Window : public QWidget {
public:
    explicit Window(bool dialog) : dialog_(dialog) {}

protected:
    void mousePressEvent(QMouseEvent*) override {
        if (!dialog_ || chosen_) return;
        QFileDialog d(this, QStringLiteral("Open"));
        d.setOption(QFileDialog::DontUseNativeDialog, true);
        d.setFileMode(QFileDialog::ExistingFile);
        d.setNameFilter(QStringLiteral("Pictures (*.bmp *.gif *.jpg)"));
        if (d.exec() == QDialog::Accepted) {
            chosen_ = true;
            update();
        }
    }
    void paintEvent(QPaintEvent*) override {
        if (!chosen_) return;
        QPainter p(this);
        const int half = width() / 2;
        p.fillRect(0, 0, half, height() - 60, QColor(255, 0, 255));
        p.fillRect(0, height() - 60, half, 60, QColor(0, 255, 255));
    }

private:
    bool dialog_;
    bool chosen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Window w(argc > 1 && std::strcmp(argv[1], "--dialog") == 0);
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    w.setPalette(pal);
    w.setAutoFillBackground(true);
    w.setWindowTitle(QStringLiteral("bare"));
    w.showMaximized();
    return QApplication::exec();
}
