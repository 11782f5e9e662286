// Start a program and time until the screen's centre pixel shows a colour (its first paint).
// Usage: probe_first_paint RRGGBB program [args...]; prints the milliseconds, or fails after 20 s.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

static double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RRGGBB program [args...]\n", argv[0]);
        return 2;
    }
    const unsigned long want = std::strtoul(argv[1], nullptr, 16);
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(dpy);
    const int cx = DisplayWidth(dpy, 0) / 2;
    const int cy = DisplayHeight(dpy, 0) / 2;
    auto centre = [&]() -> unsigned long {
        XImage* img = XGetImage(dpy, root, cx, cy, 1, 1, AllPlanes, ZPixmap);
        if (img == nullptr) return 0;
        const unsigned long p = XGetPixel(img, 0, 0) & 0xffffff;
        XDestroyImage(img);
        return p;
    };
    if (centre() == want) {
        std::fprintf(stderr, "the colour is already on screen\n");
        return 3;
    }
    const double start = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int rc = 1;
    while (Now() - start < 20000) {
        if (centre() == want) {
            std::printf("%.1f\n", Now() - start);
            rc = 0;
            break;
        }
        usleep(1000);
    }
    kill(-pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(dpy);
    return rc;
}
