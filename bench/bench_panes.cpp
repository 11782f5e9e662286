// The comparison window with two pictures: double-click to the viewer's first paint, with the
// viewer's copy prepared ahead and without it, side by side; paints per second while the window
// is resized programmatically; peak memory.
// Usage: bench_panes LEFT RIGHT [rounds]   (run on a real screen: bench/run_panes.py)
#include "bench/PeakMemory.h"

#include "app/frmDuvix.h"
#include "imaging/RecentPictures.h"
#include "platform/ErrorReport.h"
#include "platform/Form.h"
#include "viewer/frmImageViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <vector>

namespace {

// Counts paints of the widgets it watches; remembers when one of them finished painting.
class PaintCounter : public QObject {
public:
    std::function<bool(QObject*)> watch;
    std::function<void()> onPainted;
    int paints = 0;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && watch && watch(o)) {
            ++paints;
            if (onPainted) QTimer::singleShot(0, onPainted);
        }
        return false;
    }
};

void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Double-click on a pane until the viewer's picture has painted at its final size.
double OpenViewer(frmDuvix& form, platform::ImageControl* pane, PaintCounter& counter) {
    QElapsedTimer timer;
    double ms = -1;
    counter.watch = [](QObject* o) {
        if (!platform::InstanceExists<frmImageViewer>()) return false;
        frmImageViewer& viewer = platform::Instance<frmImageViewer>();
        return o == viewer.img->Surface() && viewer.isVisible() &&
               viewer.img->Surface()->width() > 200;
    };
    counter.onPainted = [&] {
        if (ms >= 0) return;
        ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        platform::Instance<frmImageViewer>().Unload();
    };
    QTimer::singleShot(0, [&] {
        timer.start();
        pane == form.img1 ? form.img1_DblClick() : form.img2_DblClick();
    });
    Settle(100);
    while (ms < 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    counter.watch = nullptr;
    counter.onPainted = nullptr;
    Settle(200);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    platform::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_panes LEFT RIGHT [rounds]\n");
        return 2;
    }
    const QString left = QString::fromLocal8Bit(argv[1]), right = QString::fromLocal8Bit(argv[2]);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    PaintCounter counter;
    app.installEventFilter(&counter);

    frmDuvix& form = platform::Instance<frmDuvix>();
    form.Load();
    form.Show(platform::Form::ShowMode::Modeless);
    Settle(500);
    form.LoadPaneImage(left, 1);
    form.LoadPaneImage(right, 2);
    Settle(3000);  // the viewer's copies are prepared after the panes show
    const long loadedKb = PeakKb();

    std::vector<double> prepared, cold;
    for (int i = 0; i < rounds; ++i) {
        for (platform::ImageControl* pane : {form.img1, form.img2}) {
            prepared.push_back(OpenViewer(form, pane, counter));
        }
        imaging::ForgetRecentPictures();
        for (platform::ImageControl* pane : {form.img1, form.img2}) {
            cold.push_back(OpenViewer(form, pane, counter));
        }
    }

    // Resize: one size after another, each waited for until both panes have painted it.
    form.showNormal();
    Settle(500);
    const QSize start = form.size();
    std::set<int> widths;  // proof that every frame drew a new size
    counter.watch = [&form, &widths](QObject* o) {
        if (o == form.img1->Surface()) widths.insert(form.img1->Surface()->width());
        return o == form.img1->Surface() || o == form.img2->Surface();
    };
    int frames = 0;
    QElapsedTimer timer;
    timer.start();
    std::vector<double> frameMs;
    while (timer.elapsed() < 3000) {
        const int step = frames % 100;
        const int dw = (step < 50 ? step : 100 - step) * 8;
        const int before = counter.paints;
        QElapsedTimer frame;
        frame.start();
        form.resize(start.width() - 400 + dw, start.height() - 200 + dw / 2);
        while (counter.paints < before + 2 && frame.elapsed() < 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        frameMs.push_back(static_cast<double>(frame.nsecsElapsed()) / 1e6);
        ++frames;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;

    std::printf("| measure | value |\n| --- | --- |\n");
    std::printf("| viewer open, prepared copy: median ms | %.1f |\n", Median(prepared));
    std::printf("| viewer open, read again: median ms | %.1f |\n", Median(cold));
    std::printf("| ratio prepared / read again | %.2f |\n", Median(prepared) / Median(cold));
    std::printf("| resize: frames per second | %.1f |\n", frames / seconds);
    std::printf("| resize: median ms per frame | %.1f |\n", Median(frameMs));
    std::printf("| resize: frames / different pane widths drawn | %d / %zu |\n", frames,
                widths.size());
    std::printf("| peak MB with both pictures and the viewer's copies | %.0f |\n",
                static_cast<double>(loadedKb) / 1024.0);
    std::printf("| peak MB at the end | %.0f |\n", static_cast<double>(PeakKb()) / 1024.0);
    std::fflush(stdout);
    form.Unload();
    return 0;
}
