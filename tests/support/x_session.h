// x_session.h: a real X server for the program tests that look at the screen. Starts Xvfb (it
// picks a free display number itself), optionally a small window manager on it, runs programs
// there, and answers where a window really is through Xlib. Every process it starts ends with it
// (and with the test program, should that die first).
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace xsession {

// Whether the shell finds the program.
inline bool OnPath(const std::string& name) {
    return std::system(("command -v '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}

// Starts argv in dir with extra environment entries, its output to log; the child ends when the
// test program does. Returns its pid, or -1.
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

// Ends a child: SIGTERM, then SIGKILL after `graceMs`. Its exit status, or -1 when killed.
inline int Stop(pid_t pid, int graceMs = 3000) {
    if (pid <= 0) return -1;
    kill(pid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < graceMs; waited += 10) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
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
    bool operator==(const Rect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

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
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        bool has =
            XGetWindowProperty(x, DefaultRootWindow(x), property, 0, 1, False, AnyPropertyType,
                               &type, &format, &count, &after, &data) == Success &&
            count > 0;
        if (data) XFree(data);
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

    // The window's area on the screen; with frame = true, its top-level ancestor's (the frame a
    // window manager put around it, or the window itself without one). Unmapped: all 0.
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

    // Runs a command line on this display; its exit status.
    int Shell(const std::string& command) {
        std::string line = "DISPLAY=" + display + " " + command;
        int raw = std::system(line.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
};

}  // namespace xsession
