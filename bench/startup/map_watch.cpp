// An outside X client that times a program's windows: it starts the program
// itself, so that the clock starts right before exec, and reports the first
// map of a top-level window of each size it was asked about, in milliseconds
// since then. Without a window manager a top-level window is a child of the
// root window, so the root's SubstructureNotify shows every map. It can also
// watch a pixel of the screen (every 5 ms) for the first time it shows a
// colour: what the player sees, whichever window draws it.
//
//   map_watch [--timeout MS] WxH|X,Y=RRGGBB [...] -- program [arguments ...]
//
// Prints "pid N" once the program runs, "map WxH MS" for each first map of a
// watched size, "pixel X,Y MS" when a watched pixel first shows its colour,
// "timeout" when the time ran out first (the program is then
// ended with SIGTERM), and "exit STATUS" when the program has ended; the
// watcher ends with it. Status 2: a bad command line or no display.
#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Size {
    int width = 0;
    int height = 0;
    bool seen = false;
};

struct Pixel {
    int x = 0;
    int y = 0;
    unsigned rgb = 0;
    bool seen = false;
};

// The colour of one pixel of the root window (what the screen shows there),
// or -1 when it cannot be read.
long screenRgb(xcb_connection_t* x, xcb_window_t root, int px, int py)
{
    const std::unique_ptr<xcb_get_image_reply_t, void (*)(void*)> image(
        xcb_get_image_reply(x,
            xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(px), int16_t(py), 1, 1, ~0u),
            nullptr),
        std::free);
    if (!image || xcb_get_image_data_length(image.get()) < 3)
        return -1;
    // Depth 24 in 32 bits, least significant byte first: blue, green, red.
    const uint8_t* bgr = xcb_get_image_data(image.get());
    return long(bgr[2]) << 16 | long(bgr[1]) << 8 | long(bgr[0]);
}

double nowMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

int usage(const char* why)
{
    std::fprintf(stderr,
        "map_watch: %s\nusage: map_watch [--timeout MS] WxH [WxH ...] -- program [arguments]\n",
        why);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    std::vector<Size> sizes;
    std::vector<Pixel> pixels;
    double timeoutMs = 60000;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeoutMs = std::atof(argv[++i]);
            continue;
        }
        Pixel pixel;
        char rest = 0;
        if (std::sscanf(argv[i], "%d,%d=%6x%c", &pixel.x, &pixel.y, &pixel.rgb, &rest) == 3) {
            if (pixel.x < 0 || pixel.y < 0)
                return usage("a pixel is X,Y=RRGGBB on the screen, e.g. 481,653=2050a0");
            pixels.push_back(pixel);
            continue;
        }
        Size size;
        if (std::sscanf(argv[i], "%dx%d%c", &size.width, &size.height, &rest) != 2
            || size.width <= 0 || size.height <= 0)
            return usage("a size is WxH, e.g. 356x122");
        sizes.push_back(size);
    }
    if ((sizes.empty() && pixels.empty()) || i + 1 >= argc)
        return usage("nothing to watch or no program");
    char** command = argv + i + 1;

    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> x(
        xcb_connect(nullptr, nullptr), xcb_disconnect);
    if (xcb_connection_has_error(x.get()))
        return usage("cannot connect to the X display");
    const int xfd = xcb_get_file_descriptor(x.get());
    fcntl(xfd, F_SETFD, FD_CLOEXEC); // the program gets a connection of its own
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x.get())).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.get(), root, XCB_CW_EVENT_MASK, &mask);
    // A round trip: the selection is in force before the program starts.
    std::free(xcb_get_input_focus_reply(x.get(), xcb_get_input_focus(x.get()), nullptr));

    std::fflush(stdout);
    const double start = nowMs();
    const pid_t child = fork();
    if (child < 0)
        return usage("cannot fork");
    if (child == 0) {
        execvp(command[0], command);
        std::fprintf(stderr, "map_watch: cannot start %s: %s\n", command[0], std::strerror(errno));
        _exit(127);
    }
    std::printf("pid %d\n", int(child));
    std::fflush(stdout);

    bool timedOut = false;
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            std::printf(
                "exit %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            return 0;
        }
        if (!timedOut && nowMs() - start > timeoutMs) {
            timedOut = true;
            std::printf("timeout\n");
            std::fflush(stdout);
            kill(child, SIGTERM);
        }
        bool pixelsLeft = false;
        for (Pixel& pixel : pixels) {
            if (pixel.seen)
                continue;
            if (screenRgb(x.get(), root, pixel.x, pixel.y) == long(pixel.rgb)) {
                pixel.seen = true;
                std::printf("pixel %d,%d %.1f\n", pixel.x, pixel.y, nowMs() - start);
                std::fflush(stdout);
            } else {
                pixelsLeft = true;
            }
        }
        pollfd fds { xfd, POLLIN, 0 };
        poll(&fds, 1, pixelsLeft ? 5 : 20);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x.get())) {
            const double at = nowMs() - start;
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                const std::unique_ptr<xcb_get_geometry_reply_t, void (*)(void*)> geometry(
                    xcb_get_geometry_reply(
                        x.get(), xcb_get_geometry(x.get(), map->window), nullptr),
                    std::free);
                for (Size& size : sizes) {
                    if (geometry && !size.seen && geometry->width == size.width
                        && geometry->height == size.height) {
                        size.seen = true;
                        std::printf("map %dx%d %.1f\n", size.width, size.height, at);
                        std::fflush(stdout);
                    }
                }
            }
            std::free(event);
        }
        if (xcb_connection_has_error(x.get())) {
            std::printf("display lost\n");
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
            return 1;
        }
    }
}
