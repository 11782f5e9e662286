// After the default pointer of the last pane load: the longest gap between two turns of the
// window's event loop over the next 2 s, when the viewer's copies were ready, and the peak
// memory once they are.
// Usage: bench_stall PICTURE [PICTURE2]   (run on a real screen: bench/run_stall.py)
#include "bench/PeakMemory.h"

#include "app/frmDuvix.h"
#include "imaging/RecentPictures.h"
#include "platform/ErrorReport.h"
#include "platform/Form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

void Run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    platform::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_stall PICTURE [PICTURE2]\n");
        return 2;
    }
    frmDuvix& form = platform::Instance<frmDuvix>();
    form.Load();
    form.Show(platform::Form::ShowMode::Modeless);
    Run(500);
    imaging::ForgetRecentPictures();
    const int pictures = argc - 1;

    QElapsedTimer clock;
    qint64 last = 0, longest = 0, ready = -1;
    // A zero timer fires once every turn of the loop, as soon as nothing else waits.
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (ready < 0 && imaging::RecentPictureCount() >= pictures) ready = now;
    });
    for (int i = 0; i < pictures; ++i) {
        form.LoadPaneImage(QString::fromLocal8Bit(argv[i + 1]), static_cast<float>(i + 1));
    }
    clock.start();
    turn.start();
    Run(2000);
    const double stallMs = static_cast<double>(longest) / 1e6;
    for (int waited = 0; ready < 0 && waited < 30000; waited += 100) Run(100);
    std::printf("stall_ms=%.1f copy_ready_ms=%.0f peak_mb=%.1f\n", stallMs,
                ready < 0 ? -1.0 : static_cast<double>(ready) / 1e6,
                static_cast<double>(PeakKb()) / 1024.0);
    std::fflush(stdout);
    turn.stop();
    form.Unload();
    return 0;
}
