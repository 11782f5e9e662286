// The baseline for start-up: a bare, maximised, mid-grey Qt window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    w.setPalette(pal);
    w.setAutoFillBackground(true);
    w.setWindowTitle(QStringLiteral("bare"));
    w.showMaximized();
    return QApplication::exec();
}
