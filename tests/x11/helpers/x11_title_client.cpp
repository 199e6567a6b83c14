// A tiny X client for the tests: creates top-level windows with given titles
// and owner hints, prints "window 0x<id>" for each in creation order, then
// "ready", and sleeps until it is killed (or its parent ends).
//
//   x11_title_client [--pid=N|--pid=none] [--manager|--stale-manager] WINDOW...
//
// WINDOW is FLAGS:TITLE. FLAGS (any order, may be empty):
//   u  leave the window unmapped
//   n  set only _NET_WM_NAME (UTF-8)      w  set only WM_NAME (STRING, bytes as given)
//   x  set no name at all                 d  _NET_WM_NAME is TITLE, WM_NAME is "legacy"
//   c  set only WM_NAME, as compound text converted from TITLE
//   h  (with --manager) leave the window out of _NET_CLIENT_LIST
// Default: both _NET_WM_NAME and WM_NAME are TITLE.
// --pid sets _NET_WM_PID to N or leaves it unset (default: our own PID).
// --manager plays a window manager's part: a check window named by
// _NET_SUPPORTING_WM_CHECK and a _NET_CLIENT_LIST of the windows in reverse
// creation order. --stale-manager leaves the properties of a manager that
// has gone: the check window is destroyed, the list names the first window.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct WindowSpec {
    std::string flags;
    std::string title;
};

Atom Intern(Display* d, const char* name) { return XInternAtom(d, name, False); }

void SetText(Display* d, Window w, Atom name, Atom type, const std::string& text) {
    XChangeProperty(d, w, name, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

void SetWindows(Display* d, Window on, Atom name, const std::vector<Window>& windows) {
    std::vector<long> items(windows.begin(), windows.end());
    XChangeProperty(d, on, name, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items.data()), static_cast<int>(items.size()));
}

bool Has(const std::string& flags, char c) { return flags.find(c) != std::string::npos; }

}  // namespace

int main(int argc, char** argv) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    long pid = getpid();
    bool setPid = true, manager = false, stale = false;
    std::vector<WindowSpec> specs;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--pid=none") {
            setPid = false;
        } else if (arg.rfind("--pid=", 0) == 0) {
            pid = std::strtol(arg.c_str() + 6, nullptr, 10);
        } else if (arg == "--manager") {
            manager = true;
        } else if (arg == "--stale-manager") {
            stale = true;
        } else {
            size_t colon = arg.find(':');
            if (colon == std::string::npos) {
                std::fprintf(stderr, "window argument without ':': %s\n", arg.c_str());
                return 2;
            }
            specs.push_back({arg.substr(0, colon), arg.substr(colon + 1)});
        }
    }
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    Window root = DefaultRootWindow(d);
    Atom netWmName = Intern(d, "_NET_WM_NAME"), utf8 = Intern(d, "UTF8_STRING");
    Atom netWmPid = Intern(d, "_NET_WM_PID");
    std::vector<Window> created, listed;
    for (const WindowSpec& s : specs) {
        Window w = XCreateSimpleWindow(d, root, 0, 0, 40, 30, 0, 0, 0);
        const std::string& f = s.flags;
        bool net = !Has(f, 'x') && !Has(f, 'w') && !Has(f, 'c');
        bool legacy = !Has(f, 'x') && !Has(f, 'n');
        if (net) SetText(d, w, netWmName, utf8, s.title);
        if (Has(f, 'c')) {
            char* list[] = {const_cast<char*>(s.title.c_str())};
            XTextProperty text{};
            if (Xutf8TextListToTextProperty(d, list, 1, XCompoundTextStyle, &text) >= Success) {
                XSetWMName(d, w, &text);
                XFree(text.value);
            }
        } else if (legacy) {
            SetText(d, w, XA_WM_NAME, XA_STRING, Has(f, 'd') ? std::string("legacy") : s.title);
        }
        if (setPid) XChangeProperty(d, w, netWmPid, XA_CARDINAL, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(&pid), 1);
        if (!Has(f, 'u')) XMapWindow(d, w);
        created.push_back(w);
        if (!Has(f, 'h')) listed.insert(listed.begin(), w);
    }
    if (manager || stale) {
        Atom check = Intern(d, "_NET_SUPPORTING_WM_CHECK"), clients = Intern(d, "_NET_CLIENT_LIST");
        Window wm = XCreateSimpleWindow(d, root, -10, -10, 1, 1, 0, 0, 0);
        SetWindows(d, wm, check, {wm});
        SetWindows(d, root, check, {wm});
        if (stale) {
            SetWindows(d, root, clients, created.empty() ? created : std::vector<Window>{created[0]});
            XDestroyWindow(d, wm);
        } else {
            SetWindows(d, root, clients, listed);
        }
    }
    XSync(d, False);
    for (Window w : created) std::printf("window 0x%lx\n", w);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}
