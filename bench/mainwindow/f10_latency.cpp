// Times the hot key from outside, as another X client sees it: sends F10
// through the XTEST extension and waits for the window to be unmapped (hide)
// or mapped (show). Every toggle is one sample, alternately hide and show.
//
//   f10_latency WINDOW_ID [toggles-each-way (50)] [gap-ms (200)] [timeout-ms (5000)]
//
// Prints one "hide MS" or "show MS" line per sample, then for each way a
// summary line: "hide_ms n=N median=M p95=P max=X" and the number of toggles
// that saw no change within the time-out. Exit status 0 when every toggle was
// seen, 1 when some were not, 2 for a bad command line or no X display.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Args {
    Window window = 0;
    int toggles = 50;
    int gapMs = 200;
    int timeoutMs = 5000;
};

bool parseNumber(const char* text, long min, long max, long& out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 0);
    if (end == text || *end != '\0' || value < min || value > max)
        return false;
    out = value;
    return true;
}

bool parseArgs(int argc, char** argv, Args& args)
{
    if (argc < 2 || argc > 5)
        return false;
    char* end = nullptr;
    args.window = std::strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || args.window == 0)
        return false;
    long value = 0;
    if (argc > 2) {
        if (!parseNumber(argv[2], 1, 100000, value))
            return false;
        args.toggles = int(value);
    }
    if (argc > 3) {
        if (!parseNumber(argv[3], 0, 60000, value))
            return false;
        args.gapMs = int(value);
    }
    if (argc > 4) {
        if (!parseNumber(argv[4], 1, 600000, value))
            return false;
        args.timeoutMs = int(value);
    }
    return true;
}

// A window that is gone (or never was) is reported, not fatal.
bool g_xError = false;

int noteError(Display*, XErrorEvent*)
{
    g_xError = true;
    return 0;
}

bool isViewable(Display* display, Window window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) != 0
        && attributes.map_state == IsViewable;
}

// Waits for `type` (MapNotify or UnmapNotify) on `window`; milliseconds
// since `start`, or a negative number at the time-out.
double waitFor(Display* display, Window window, int type, Clock::time_point start, int timeoutMs)
{
    const auto deadline = start + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == type && event.xany.window == window)
                return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return -1;
        pollfd fd { ConnectionNumber(display), POLLIN, 0 };
        poll(&fd, 1, int(std::min<long long>(left.count(), 100)));
    }
}

void drain(Display* display)
{
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

void summarise(const char* name, std::vector<double> samples, int missed)
{
    if (samples.empty()) {
        std::printf("%s_ms n=0 missed=%d\n", name, missed);
        return;
    }
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        // Nearest rank.
        const size_t rank = size_t(q * double(samples.size()) + 0.999999);
        return samples[std::clamp<size_t>(rank, 1, samples.size()) - 1];
    };
    std::printf("%s_ms n=%zu median=%.1f p95=%.1f max=%.1f missed=%d\n", name, samples.size(),
        at(0.5), at(0.95), samples.back(), missed);
}

} // namespace

int main(int argc, char** argv)
{
    Args args;
    if (!parseArgs(argc, argv, args)) {
        std::fprintf(
            stderr, "usage: f10_latency WINDOW_ID [toggles-each-way] [gap-ms] [timeout-ms]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "f10_latency: cannot open the X display\n");
        return 2;
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        std::fprintf(stderr, "f10_latency: the X server has no XTEST extension\n");
        XCloseDisplay(display);
        return 2;
    }
    const unsigned int f10 = XKeysymToKeycode(display, XK_F10);
    if (f10 == 0) {
        std::fprintf(stderr, "f10_latency: F10 has no key code\n");
        XCloseDisplay(display);
        return 2;
    }
    XSetErrorHandler(noteError);
    XSelectInput(display, args.window, StructureNotifyMask);
    drain(display);
    if (g_xError) {
        std::fprintf(stderr, "f10_latency: no window 0x%lx\n", args.window);
        XCloseDisplay(display);
        return 2;
    }

    std::vector<double> hide;
    std::vector<double> show;
    int missedHide = 0;
    int missedShow = 0;
    for (int i = 0; i < 2 * args.toggles; ++i) {
        const bool shown = isViewable(display, args.window);
        drain(display);
        const auto start = Clock::now();
        XTestFakeKeyEvent(display, f10, True, CurrentTime);
        XTestFakeKeyEvent(display, f10, False, CurrentTime);
        XFlush(display);
        const double ms
            = waitFor(display, args.window, shown ? UnmapNotify : MapNotify, start, args.timeoutMs);
        if (ms < 0) {
            ++(shown ? missedHide : missedShow);
            std::printf("%s missed\n", shown ? "hide" : "show");
        } else {
            (shown ? hide : show).push_back(ms);
            std::printf("%s %.2f\n", shown ? "hide" : "show", ms);
        }
        std::fflush(stdout);
        if (g_xError) {
            std::fprintf(stderr, "f10_latency: the window went away\n");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(args.gapMs));
    }
    summarise("hide", hide, missedHide);
    summarise("show", show, missedShow);
    XCloseDisplay(display);
    return missedHide + missedShow == 0 ? 0 : 1;
}
