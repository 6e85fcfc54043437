// Starts a program on the X display (Xvfb in the bench) and watches it from
// outside, the way a user would see it:
//   first_paint_ms  from fork() to the first damage the X server reports on
//                   one of the program's mapped top-level windows, that is
//                   the first pixels the program drew into a visible window
//   map_ms          from fork() to the first top-level window being mapped
//   vmhwm_kib       peak resident memory (VmHWM) once it has settled
// then closes its windows the way a window manager does (WM_DELETE_WINDOW)
// and reports how it exited. The program is neither changed nor preloaded.
//
//   xprobe [--settle MS] [--timeout MS] -- PROGRAM [ARGS...]
// The display must show nothing else: every new top-level window counts.

#include "procstatus.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double nowMs()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

long statusKib(pid_t pid, const char *field)
{
    return procStatusKib(std::to_string(pid), field);
}

// Exit status as the shell shows it; -1 while the program still runs.
int reap(pid_t pid, bool wait)
{
    int status = 0;
    const pid_t done = waitpid(pid, &status, wait ? 0 : WNOHANG);
    if (done != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Windows may be gone, or input-only, by the time they are watched.
int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: xprobe [--settle MS] [--timeout MS] -- PROGRAM [ARGS...]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    double settleMs = 3000;
    double timeoutMs = 20000;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string option = argv[first];
        if (option == "--") {
            ++first;
            break;
        }
        if (first + 1 >= argc)
            return usage();
        if (option == "--settle")
            settleMs = std::atof(argv[++first]);
        else if (option == "--timeout")
            timeoutMs = std::atof(argv[++first]);
        else
            return usage();
    }
    if (first >= argc)
        return usage();

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xprobe: cannot open display\n");
        return 2;
    }
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "xprobe: the X server has no DAMAGE extension\n");
        return 2;
    }
    XSetErrorHandler(ignoreXError);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = nowMs();
    const pid_t pid = fork();
    if (pid < 0)
        return 2;
    if (pid == 0) {
        close(ConnectionNumber(display));
        execvp(argv[first], argv + first);
        std::perror("xprobe: exec");
        _exit(127);
    }

    std::set<Window> created;
    std::set<Window> mapped;
    double mapMs = -1;
    double paintMs = -1;
    int exitStatus = -1;
    const int connection = ConnectionNumber(display);
    // Handles events until the deadline, the program's end or, when asked,
    // its first paint.
    auto pump = [&](double until, bool untilPainted) {
        while (nowMs() < until && exitStatus < 0 && !(untilPainted && paintMs >= 0)) {
            if (!XPending(display)) {
                pollfd waiting { connection, POLLIN, 0 };
                poll(&waiting, 1, 20);
                exitStatus = reap(pid, false);
                continue;
            }
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
                // Watched from creation on, so no drawing can slip past.
                created.insert(event.xcreatewindow.window);
                XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
            } else if (event.type == MapNotify && created.count(event.xmap.window)) {
                mapped.insert(event.xmap.window);
                if (mapMs < 0)
                    mapMs = nowMs() - start;
            } else if (event.type == UnmapNotify) {
                mapped.erase(event.xunmap.window);
            } else if (event.type == damageEvent + XDamageNotify) {
                const auto *damage = reinterpret_cast<XDamageNotifyEvent *>(&event);
                XDamageSubtract(display, damage->damage, None, None);
                if (paintMs < 0 && mapped.count(damage->drawable))
                    paintMs = nowMs() - start;
            }
        }
    };

    pump(start + timeoutMs, true);
    if (paintMs >= 0)
        pump(nowMs() + settleMs, false);
    const long hwm = exitStatus < 0 ? statusKib(pid, "VmHWM") : -1;
    const long rss = exitStatus < 0 ? statusKib(pid, "VmRSS") : -1;

    // Close politely, as a window manager would, so the program runs its
    // own shutdown (and a sanitizer build its exit checks).
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    for (Window window : mapped) {
        XEvent message {};
        message.xclient.type = ClientMessage;
        message.xclient.window = window;
        message.xclient.message_type = protocols;
        message.xclient.format = 32;
        message.xclient.data.l[0] = long(deleteWindow);
        message.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &message);
    }
    XFlush(display);
    bool killed = false;
    const double closeBy = nowMs() + timeoutMs;
    pump(closeBy, false);
    if (exitStatus < 0) {
        kill(pid, SIGKILL);
        killed = true;
        exitStatus = reap(pid, true);
    }

    std::printf("first_paint_ms=%.1f map_ms=%.1f vmhwm_kib=%ld vmrss_kib=%ld exit=%d%s\n", paintMs,
                mapMs, hwm, rss, exitStatus, killed ? " killed" : "");
    XCloseDisplay(display);
    return paintMs < 0 || killed ? 1 : 0;
}
