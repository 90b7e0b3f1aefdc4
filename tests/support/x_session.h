// x_session.h: Xvfb (and openbox) for the program tests that look at the screen; where a window
// is and what the screen shows, through Xlib. Every process it starts ends with the test program.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace xsession {

inline bool OnPath(const std::string& name) {
    return std::system(("command -v '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}

// Starts argv in dir with extra environment entries, its output to log. Its pid, or -1.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& dir, const std::string& log) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
    int out = open(log.empty() ? "/dev/null" : log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

inline bool Exited(pid_t pid) {
    int status;
    return waitpid(pid, &status, WNOHANG) == pid;
}

// Polls `done` every 10 ms for up to ms milliseconds.
template <typename F>
bool WaitFor(int ms, F done) {
    for (int waited = 0;; waited += 10) {
        if (done()) return true;
        if (waited >= ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
};
inline std::ostream& operator<<(std::ostream& o, const Rect& r) {
    return o << r.w << "x" << r.h << " at " << r.x << "," << r.y;
}

// An 8-bit RGB picture, rows top to bottom.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// Reads an 8-bit PNG (any colour type) as RGB, or writes one; false when it cannot.
inline bool ReadPng(const std::string& path, Image* out) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    img.format = PNG_FORMAT_RGB;
    out->width = int(img.width);
    out->height = int(img.height);
    out->rgb.assign(PNG_IMAGE_SIZE(img), 0);
    bool ok = png_image_finish_read(&img, nullptr, out->rgb.data(), 0, nullptr) != 0;
    png_image_free(&img);
    return ok;
}
inline bool WritePng(const std::string& path, const Image& image) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = uint32_t(image.width);
    img.height = uint32_t(image.height);
    img.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&img, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
}

// Ends a child: SIGTERM, then SIGKILL after `graceMs`. Its exit status, or -1 when killed.
inline int Stop(pid_t pid, int graceMs = 3000) {
    int status = 0;
    if (pid <= 0) return -1;
    kill(pid, SIGTERM);
    if (WaitFor(graceMs, [&] { return waitpid(pid, &status, WNOHANG) == pid; }))
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

struct Session {
    pid_t server = -1, wm = -1;
    std::string display;  // ":N"
    Display* x = nullptr;

    // "" when the server (and the window manager, when asked for) runs; else why not.
    std::string Start(int width, int height, bool windowManager, const std::string& logDir) {
        if (!OnPath("Xvfb")) return "Xvfb is not installed (scripts/deps.sh installs it)";
        int fds[2];
        if (pipe(fds) != 0) return "no pipe";
        std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        server = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                        "-nolisten", "tcp"},
                       {}, "", logDir + "/xvfb.log");
        close(fds[1]);
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        char c;
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        WaitFor(10000, [&] {
            while (read(fds[0], &c, 1) == 1) {
                if (c == '\n') return true;
                number += c;
            }
            return Exited(server);
        });
        close(fds[0]);
        if (number.empty()) return "Xvfb did not start (see " + logDir + "/xvfb.log)";
        display = ":" + number;
        x = XOpenDisplay(display.c_str());
        if (!x) return "cannot connect to Xvfb on " + display;
        if (!windowManager) return "";
        if (!OnPath("openbox")) return "openbox is not installed (scripts/deps.sh installs it)";
        wm =
            Spawn({"openbox", "--sm-disable"}, {"DISPLAY=" + display}, "", logDir + "/openbox.log");
        Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", False);
        if (!WaitFor(10000, [&] { return RootHas(check) || Exited(wm); }) || !RootHas(check))
            return "openbox did not start";
        return "";
    }

    void End() {
        if (x) XCloseDisplay(x);
        x = nullptr;
        Stop(wm);
        Stop(server);
        wm = server = -1;
    }

    bool RootHas(Atom property) {
        int count = 0;
        Atom* list = XListProperties(x, DefaultRootWindow(x), &count);
        const bool has = std::find(list, list + count, property) != list + count;
        if (list) XFree(list);
        return has;
    }

    // The first window named `name`, searched depth first from the root; 0 when none.
    Window Find(const std::string& name, Window from = 0) {
        if (!from) from = DefaultRootWindow(x);
        char* title = nullptr;
        if (XFetchName(x, from, &title) && title) {
            bool same = name == title;
            XFree(title);
            if (same) return from;
        }
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(x, from, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i) found = Find(name, children[i]);
            if (children) XFree(children);
        }
        return found;
    }

    // The window's area on the screen, or with `frame` its top-level ancestor's; unmapped: 0.
    Rect Geometry(Window w, bool frame = false) {
        XSync(x, False);
        if (frame) {
            for (;;) {
                Window root, parent, *children = nullptr;
                unsigned count;
                if (!XQueryTree(x, w, &root, &parent, &children, &count)) return Rect{};
                if (children) XFree(children);
                if (parent == root) break;
                w = parent;
            }
        }
        XWindowAttributes a;
        Window child;
        Rect r;
        if (!XGetWindowAttributes(x, w, &a) || a.map_state != IsViewable) return Rect{};
        XTranslateCoordinates(x, w, a.root, 0, 0, &r.x, &r.y, &child);
        r.w = a.width;
        r.h = a.height;
        return r;
    }

    // The whole screen as the X server holds it now; false when it cannot be read.
    bool Screenshot(Image* out) {
        XWindowAttributes a;
        const Window root = DefaultRootWindow(x);
        XImage* image = XGetWindowAttributes(x, root, &a)
                            ? XGetImage(x, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap)
                            : nullptr;
        if (!image) return false;
        out->width = a.width;
        out->height = a.height;
        out->rgb.resize(size_t(a.width) * a.height * 3);
        const unsigned long mask[3] = {image->red_mask, image->green_mask, image->blue_mask};
        uint8_t* o = out->rgb.data();
        for (int y = 0; y < a.height; ++y)
            for (int xx = 0; xx < a.width; ++xx) {
                const unsigned long p = XGetPixel(image, xx, y);
                for (int c = 0; c < 3; ++c) {  // each channel's bits scaled to 0..255
                    const int shift = std::countr_zero(mask[c]);
                    *o++ =
                        mask[c] ? uint8_t(((p & mask[c]) >> shift) * 255 / (mask[c] >> shift)) : 0;
                }
            }
        XDestroyImage(image);
        return true;
    }

    // Runs a command line on this display; its exit status.
    int Shell(const std::string& command) {
        std::string line = "DISPLAY=" + display + " " + command;
        int raw = std::system(line.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
};

}  // namespace xsession
