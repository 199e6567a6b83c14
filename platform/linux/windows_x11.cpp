// Top-level windows from the X server of the default display ($DISPLAY).
//
// EnumWindows opens one connection, lists the top-level client windows
// (the window manager's _NET_CLIENT_LIST when a manager is running, else the
// children of the root window, both oldest first), calls back for each and
// closes the connection again. GetWindowThreadProcessId and GetWindowTextA
// answer from that connection, so they know windows only while the
// enumeration runs. No display, a refused connection or a server that goes
// away: fewer or no windows, never a message, never an exit.
//
// libX11 and libXRes are loaded when the first enumeration finds DISPLAY
// set, so a run without a display maps no X library, and the program runs
// where they are not installed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

// The X library functions the seam calls, from the libraries loaded at run
// time.
struct XApi {
    decltype(&::XOpenDisplay) OpenDisplay;
    decltype(&::XCloseDisplay) CloseDisplay;
    decltype(&::XSetErrorHandler) SetErrorHandler;
    decltype(&::XSetIOErrorHandler) SetIOErrorHandler;
    decltype(&::XSetIOErrorExitHandler) SetIOErrorExitHandler;
    decltype(&::XInternAtoms) InternAtoms;
    decltype(&::XGetWindowProperty) GetWindowProperty;
    decltype(&::XQueryTree) QueryTree;
    decltype(&::XFree) Free;
    decltype(&::Xutf8TextPropertyToTextList) Utf8TextPropertyToTextList;
    decltype(&::XFreeStringList) FreeStringList;
    decltype(&::XResQueryExtension) ResQueryExtension;
    decltype(&::XResQueryVersion) ResQueryVersion;
    decltype(&::XResQueryClientIds) ResQueryClientIds;
    decltype(&::XResGetClientPid) ResGetClientPid;
    decltype(&::XResClientIdsDestroy) ResClientIdsDestroy;
};

XApi x;

template <typename F>
bool Bind(void* library, const char* name, F& slot) {
    slot = reinterpret_cast<F>(dlsym(library, name));
    return slot != nullptr;
}

// Loads the libraries once; false when either or any function is missing
// (a libX11 older than 1.7 has no IO error exit handler).
bool LoadXApi() {
    static int state = 0;  // 0 not tried, 1 loaded, -1 unavailable
    if (state != 0) return state > 0;
    state = -1;
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    void* xres = xlib != nullptr ? dlopen("libXRes.so.1", RTLD_LAZY | RTLD_LOCAL) : nullptr;
    if (xres == nullptr) return false;
    bool ok = Bind(xlib, "XOpenDisplay", x.OpenDisplay) && Bind(xlib, "XCloseDisplay", x.CloseDisplay) &&
              Bind(xlib, "XSetErrorHandler", x.SetErrorHandler) &&
              Bind(xlib, "XSetIOErrorHandler", x.SetIOErrorHandler) &&
              Bind(xlib, "XSetIOErrorExitHandler", x.SetIOErrorExitHandler) &&
              Bind(xlib, "XInternAtoms", x.InternAtoms) &&
              Bind(xlib, "XGetWindowProperty", x.GetWindowProperty) && Bind(xlib, "XQueryTree", x.QueryTree) &&
              Bind(xlib, "XFree", x.Free) &&
              Bind(xlib, "Xutf8TextPropertyToTextList", x.Utf8TextPropertyToTextList) &&
              Bind(xlib, "XFreeStringList", x.FreeStringList) &&
              Bind(xres, "XResQueryExtension", x.ResQueryExtension) &&
              Bind(xres, "XResQueryVersion", x.ResQueryVersion) &&
              Bind(xres, "XResQueryClientIds", x.ResQueryClientIds) &&
              Bind(xres, "XResGetClientPid", x.ResGetClientPid) &&
              Bind(xres, "XResClientIdsDestroy", x.ResClientIdsDestroy);
    if (ok) state = 1;
    return ok;
}

struct XSession {
    Display* display = nullptr;
    bool broken = false;  // the connection failed; no further request is made
    bool hasClientIds = false;  // X-Resource 1.2 or later: client PIDs
    Atom netClientList = None;
    Atom netSupportingWmCheck = None;
    Atom netWmPid = None;
    Atom netWmName = None;
    Atom utf8String = None;
};

XSession session;

int IgnoreXError(Display*, XErrorEvent*) { return 0; }
int IgnoreIoError(Display*) { return 0; }
void MarkBroken(Display*, void*) { session.broken = true; }

bool Usable() { return session.display != nullptr && !session.broken; }

Window AsWindow(HWND window) { return static_cast<Window>(reinterpret_cast<uintptr_t>(window)); }
HWND AsHandle(Window window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

// Xlib writes some refusals (a failed authorisation) to standard error
// itself; the tool writes nothing there, so the opening runs with it
// pointed at /dev/null.
Display* OpenQuietly() {
    int saved = fcntl(2, F_DUPFD_CLOEXEC, 3);
    int null = saved >= 0 ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    if (null >= 0) dup2(null, 2);
    Display* display = x.OpenDisplay(nullptr);
    if (null >= 0) {
        dup2(saved, 2);
        close(null);
    }
    if (saved >= 0) close(saved);
    return display;
}

bool OpenSession() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0' || !LoadXApi()) return false;
    x.SetErrorHandler(IgnoreXError);
    x.SetIOErrorHandler(IgnoreIoError);
    session = XSession{};
    session.display = OpenQuietly();
    if (session.display == nullptr) return false;
    x.SetIOErrorExitHandler(session.display, MarkBroken, nullptr);

    char names[][32] = {"_NET_CLIENT_LIST", "_NET_SUPPORTING_WM_CHECK", "_NET_WM_PID", "_NET_WM_NAME",
                        "UTF8_STRING"};
    char* list[] = {names[0], names[1], names[2], names[3], names[4]};
    Atom atoms[5] = {};
    if (x.InternAtoms(session.display, list, 5, False, atoms) == 0 || session.broken) return Usable();
    session.netClientList = atoms[0];
    session.netSupportingWmCheck = atoms[1];
    session.netWmPid = atoms[2];
    session.netWmName = atoms[3];
    session.utf8String = atoms[4];

    int event = 0, error = 0, major = 0, minor = 0;
    if (x.ResQueryExtension(session.display, &event, &error) &&
        x.ResQueryVersion(session.display, &major, &minor))
        session.hasClientIds = major > 1 || (major == 1 && minor >= 2);
    return Usable();
}

void CloseSession() {
    // After a failed connection Xlib has already given the socket up.
    if (session.display != nullptr && !session.broken) x.CloseDisplay(session.display);
    session = XSession{};
}

// One property of a window: its type, format and up to `maxLongs` 32-bit
// units of data. Returns false when the window has no such property.
struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    std::vector<unsigned char> bytes;
};

bool ReadProperty(Window window, Atom name, Atom type, long maxLongs, Property& out) {
    if (!Usable() || name == None) return false;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int status = x.GetWindowProperty(session.display, window, name, 0, maxLongs, False, type,
                                    &actualType, &format, &count, &after, &data);
    bool found = status == Success && actualType != None && !session.broken;
    if (found) {
        out.type = actualType;
        out.format = format;
        out.count = count;
        // Xlib hands 32-bit items as longs; 8-bit items are packed.
        size_t unit = format == 32 ? sizeof(long) : static_cast<size_t>(format / 8);
        if (data != nullptr) out.bytes.assign(data, data + count * unit);
    }
    if (data != nullptr) x.Free(data);
    return found;
}

// The one window of a 32-bit WINDOW property, or None.
Window ReadWindowProperty(Window window, Atom name) {
    Property p;
    if (!ReadProperty(window, name, XA_WINDOW, 1, p) || p.type != XA_WINDOW || p.format != 32 ||
        p.count < 1)
        return None;
    long value = 0;
    std::memcpy(&value, p.bytes.data(), sizeof value);
    return static_cast<Window>(value);
}

// A window manager that follows the extended hints names a check window on
// the root that names itself; a stale root property of a manager that has
// gone names a window that no longer exists.
bool ManagerRunning(Window root) {
    Window check = ReadWindowProperty(root, session.netSupportingWmCheck);
    return check != None && ReadWindowProperty(check, session.netSupportingWmCheck) == check;
}

std::vector<Window> ListTopLevelWindows() {
    std::vector<Window> windows;
    Window root = DefaultRootWindow(session.display);
    if (ManagerRunning(root)) {
        Property p;
        if (ReadProperty(root, session.netClientList, XA_WINDOW, 1L << 20, p) && p.type == XA_WINDOW &&
            p.format == 32) {
            const long* items = reinterpret_cast<const long*>(p.bytes.data());
            windows.assign(items, items + p.count);
            return windows;
        }
    }
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (x.QueryTree(session.display, root, &rootReturn, &parent, &children, &count) != 0 &&
        !session.broken && children != nullptr)
        windows.assign(children, children + count);
    if (children != nullptr) x.Free(children);
    return windows;
}

DWORD PidFromClientIds(Window window) {
    if (!session.hasClientIds) return 0;
    XResClientIdSpec wanted{window, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    DWORD pid = 0;
    if (x.ResQueryClientIds(session.display, 1, &wanted, &count, &ids) == Success && !session.broken) {
        for (long i = 0; i < count && pid == 0; ++i) {
            pid_t value = x.ResGetClientPid(&ids[i]);
            if (value > 0) pid = static_cast<DWORD>(value);
        }
    }
    if (ids != nullptr) x.ResClientIdsDestroy(count, ids);
    return pid;
}

DWORD PidFromProperty(Window window) {
    Property p;
    if (!ReadProperty(window, session.netWmPid, XA_CARDINAL, 1, p) || p.type != XA_CARDINAL ||
        p.format != 32 || p.count < 1)
        return 0;
    long value = 0;
    std::memcpy(&value, p.bytes.data(), sizeof value);
    return value > 0 && value <= 0x7FFFFFFF ? static_cast<DWORD>(value) : 0;
}

void AppendLatin1AsUtf8(const std::vector<unsigned char>& bytes, std::string& out) {
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

// The window's text in UTF-8 (the seam's ANSI code page): at least
// `wanted` bytes of it when it is that long. _NET_WM_NAME is UTF-8 already;
// WM_NAME is Latin-1 (STRING), UTF-8 or compound text.
bool ReadWindowText(Window window, size_t wanted, std::string& text) {
    long longs = static_cast<long>((wanted + 3) / 4);
    Property p;
    if (ReadProperty(window, session.netWmName, session.utf8String, longs, p) &&
        p.type == session.utf8String && p.format == 8) {
        text.assign(p.bytes.begin(), p.bytes.end());
        return true;
    }
    p = Property{};
    if (!ReadProperty(window, XA_WM_NAME, AnyPropertyType, 1024, p) || p.format != 8) return false;
    if (p.type == XA_STRING) {
        AppendLatin1AsUtf8(p.bytes, text);
    } else if (p.type == session.utf8String) {
        text.assign(p.bytes.begin(), p.bytes.end());
    } else {
        XTextProperty property{p.bytes.data(), p.type, p.format, p.count};
        char** list = nullptr;
        int count = 0;
        if (x.Utf8TextPropertyToTextList(session.display, &property, &list, &count) >= Success &&
            list != nullptr) {
            for (int i = 0; i < count; ++i) text += list[i];
        }
        if (list != nullptr) x.FreeStringList(list);
    }
    return true;
}

// Copies `text` into the caller's buffer of `size` bytes: at most size-1
// bytes and a NUL, cut before a UTF-8 sequence that would not fit whole.
int CopyCut(const std::string& text, char* buffer, int size) {
    size_t n = text.size() < static_cast<size_t>(size - 1) ? text.size() : static_cast<size_t>(size - 1);
    if (n < text.size()) {
        size_t lead = n;
        while (lead > 0 && n - lead < 3 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) --lead;
        if ((static_cast<unsigned char>(text[lead]) & 0xC0) != 0x80) n = lead;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

}  // namespace

BOOL EnumWindows(WNDENUMPROC callback, LPARAM context) {
    if (!OpenSession()) {
        CloseSession();
        return TRUE;
    }
    // The list is taken whole before the first callback, so the windows the
    // callbacks see are the ones of one moment.
    std::vector<Window> windows = ListTopLevelWindows();
    BOOL result = TRUE;
    for (Window window : windows) {
        if (!callback(AsHandle(window), context)) {
            result = FALSE;
            break;
        }
    }
    CloseSession();
    return result;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
    DWORD pid = 0;
    if (Usable() && window != nullptr) {
        pid = PidFromClientIds(AsWindow(window));
        if (pid == 0) pid = PidFromProperty(AsWindow(window));
    }
    if (processId != nullptr) *processId = pid;
    return pid;  // the seam has no thread identifiers: the PID stands for one
}

int GetWindowTextA(HWND window, char* text, int size) {
    if (text == nullptr || size <= 0) return 0;
    std::string title;
    if (!Usable() || window == nullptr || !ReadWindowText(AsWindow(window), static_cast<size_t>(size), title)) {
        text[0] = '\0';
        return 0;
    }
    return CopyCut(title, text, size);
}
