// Test support: private Xvfb servers, XTEST input, and runs of the real binary.
// See LICENSE file for copyright and license details.
#include "XServer.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

std::ostream &operator<<(std::ostream &os, const Geometry &g) {
  return os << g.w << "x" << g.h << "+" << g.x << "+" << g.y;
}

static long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool WaitFor(const std::function<bool()> &pred, int timeout_ms) {
  long end = NowMs() + timeout_ms;
  for (;;) {
    if (pred())
      return true;
    if (NowMs() > end)
      return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Windows vanish between a query and the next request; that is no failure of the test.
static int IgnoreXError(Display *, XErrorEvent *) {
  return 0;
}

const std::vector<std::string> &Desktops() {
  static const std::vector<std::string> all = {
      "",         "openbox", "xfwm4",        "kwin_x11", "i3",  "marco",
      "metacity", "muffin",  "kwin_wayland", "mutter",   "dwm", "bspwm"};
  return all;
}

static bool IsWayland(const std::string &desktop) {
  return desktop == "kwin_wayland" || desktop == "mutter";
}

// The program's path, from PATH; empty when it is not installed.
static std::string InPath(const std::string &program) {
  std::istringstream path(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
  for (std::string dir; std::getline(path, dir, ':');)
    if (access((dir + "/" + program).c_str(), X_OK) == 0)
      return dir + "/" + program;
  return "";
}

static std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

XServer::XServer(int width, int height, const std::string &desktop)
  : width_(width)
  , height_(height)
  , desktop_(desktop) {
  // Rulers shown on it, in this process or in pixtape's, get the same fonts on every machine.
  setenv("FONTCONFIG_FILE", PIXTAPE_TEST_FONTS, 1);
  XSetErrorHandler(IgnoreXError);
  if (!IsWayland(desktop))
    StartXvfb();
  if (!desktop.empty() && !StartDesktop())
    Kill();
}

void XServer::StartXvfb() {
  int fds[2];
  if (pipe(fds) != 0)
    throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM); // a crashed or exiting test takes its server with it
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    std::string screen = std::to_string(width_) + "x" + std::to_string(height_) + "x24";
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
           "tcp", "-noreset", static_cast<char *>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(fds[0]);
  if (number.empty())
    throw std::runtime_error("Xvfb did not start");
  name_ = ":" + number;
  dpy_ = XOpenDisplay(name_.c_str());
  if (!dpy_)
    throw std::runtime_error("cannot open " + name_);
}

// Starts the desktop's window manager on the Xvfb, or its compositor, and waits until the window
// manager has taken the screen. Every process of it runs in a process group of its own, with a
// scratch folder as HOME and XDG_RUNTIME_DIR.
bool XServer::StartDesktop() {
  char dir[] = "/tmp/pixtape-desktop-XXXXXX"; // mode 0700, as a runtime directory must be
  if (!mkdtemp(dir))
    throw std::runtime_error("mkdtemp");
  dir_ = dir;
  std::string program = InPath(desktop_);
  if (program.empty() || InPath("dbus-run-session").empty()) {
    skipped_ = desktop_ + " is not installed (tools/setup --test installs it)";
    return false;
  }
  if (desktop_.rfind("kwin", 0) == 0) {
    // The packaged kwin_x11 and kwin_wayland carry a file capability (cap_sys_resource) that a
    // sandbox without file capabilities refuses to exec; a plain copy runs. It keeps its name,
    // which kwin_wayland's Qt platform plugin asks for.
    std::string copy = dir_ + "/" + desktop_;
    std::filesystem::copy_file(program, copy);
    program = copy;
  }
  const std::string w = std::to_string(width_), h = std::to_string(height_);
  std::vector<std::string> argv = {"dbus-run-session", "--", program};
  std::vector<std::string> env;
  if (desktop_ == "openbox") {
    argv.push_back("--sm-disable");
  } else if (desktop_ == "xfwm4") {
    argv.insert(argv.end(), {"--compositor=off", "--sm-client-disable"});
  } else if (desktop_ == "kwin_x11") {
    argv.push_back("--replace");
    env = {"QT_QPA_PLATFORM=xcb", "KWIN_COMPOSE=N"};
  } else if (desktop_ == "i3") {
    // Debian's configuration less its exec lines: the first-run wizard would hold the keyboard
    std::istringstream config(ReadFile("/etc/i3/config"));
    std::ofstream out(dir_ + "/i3.conf");
    for (std::string line; std::getline(config, line);)
      if (line.rfind("exec", 0) != 0)
        out << line << "\n";
    argv.insert(argv.end(), {"-c", dir_ + "/i3.conf"});
  } else if (desktop_ == "marco" || desktop_ == "metacity") {
    argv.insert(argv.end(), {"--no-composite", "--replace"});
  } else if (desktop_ == "muffin") {
    // muffin 6 asks the session for its display server when not told; there is no session here
    argv.insert(argv.end(), {"--x11", "--replace"});
  } else if (desktop_ == "dwm") {
    // as it comes: no options, no configuration file
  } else if (desktop_ == "bspwm") {
    // a border of its own around every window, wider than its default 1 px
    std::ofstream(dir_ + "/bspwmrc") << "#!/bin/sh\nbspc config border_width 2\n";
    chmod((dir_ + "/bspwmrc").c_str(), 0700);
    argv.insert(argv.end(), {"-c", dir_ + "/bspwmrc"});
  } else if (desktop_ == "kwin_wayland") {
    // kwin runs the session's command with DISPLAY set to its Xwayland, and drops its output
    std::ofstream(dir_ + "/session")
        << "#!/bin/sh\nprintf '%s\\n%s\\n' \"$DISPLAY\" \"$XAUTHORITY\" >" << dir_
        << "/display.new\nmv " << dir_ << "/display.new " << dir_
        << "/display\nexec sleep 100000\n";
    chmod((dir_ + "/session").c_str(), 0700);
    argv.insert(argv.end(), {"--virtual", "--xwayland", "--width", w, "--height", h,
                             "--exit-with-session", dir_ + "/session"});
  } else if (desktop_ == "mutter") {
    argv.insert(argv.end(), {"--headless", "--wayland", "--virtual-monitor", w + "x" + h});
  } else {
    throw std::runtime_error("no desktop " + desktop_);
  }
  const std::string log = dir_ + "/log";
  session_ = fork();
  if (session_ == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int null = open("/dev/null", O_RDWR), out = open(log.c_str(), O_WRONLY | O_CREAT, 0600);
    dup2(null, 0);
    dup2(out, 1);
    dup2(out, 2);
    for (const char *v : {"WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
                          "XAUTHORITY", "DISPLAY"})
      unsetenv(v);
    if (!IsWayland(desktop_))
      setenv("DISPLAY", name_.c_str(), 1);
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    for (const std::string &e : env)
      putenv(const_cast<char *>(e.c_str()));
    std::vector<char *> args;
    for (const std::string &a : argv)
      args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  setpgid(session_, session_);
  auto why = [&](const std::string &what) {
    std::string text = ReadFile(log);
    size_t from = text.size() > 300 ? text.size() - 300 : 0;
    skipped_ = desktop_ + " did not start here: " + what + "; its log ends: " + text.substr(from);
    return false;
  };

  if (IsWayland(desktop_)) {
    // the compositor's Xwayland: kwin's session command names it; mutter's log does
    std::string xauth;
    bool named = WaitFor(
        [&] {
          if (desktop_ == "kwin_wayland") {
            std::istringstream in(ReadFile(dir_ + "/display"));
            std::getline(in, name_);
            std::getline(in, xauth);
          } else {
            std::string text = ReadFile(log);
            const std::string said = "Using public X11 display ";
            size_t at = text.find(said);
            if (at != std::string::npos)
              name_ = text.substr(at + said.size(), text.find(',', at) - at - said.size());
            for (auto &f : std::filesystem::directory_iterator(dir_))
              if (f.path().filename().string().rfind(".mutter-Xwaylandauth.", 0) == 0)
                xauth = f.path();
          }
          return !name_.empty();
        },
        2 * WAIT_MS);
    if (!named)
      return why("no Xwayland display");
    if (!xauth.empty())
      setenv("XAUTHORITY", xauth.c_str(), 1); // for this process and the pixtape it runs
    if (!WaitFor([&] { return (dpy_ = XOpenDisplay(name_.c_str())) != nullptr; }))
      return why("cannot open its Xwayland display " + name_);
    width_ = DisplayWidth(dpy_, DefaultScreen(dpy_));
    height_ = DisplayHeight(dpy_, DefaultScreen(dpy_));
  }
  if (!WaitFor(
          [&] { return Longs(DefaultRootWindow(dpy_), "_NET_SUPPORTING_WM_CHECK").size() == 1; },
          2 * WAIT_MS))
    return why("no window manager took the screen");
  // A window manager may name itself before it manages new windows, and openbox drops the map
  // requests that come in meanwhile: show windows of the test's own, one after another, until one
  // is managed.
  bool managed = WaitFor(
      [&] {
        Window probe = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 10, 10, 0, 0, 0);
        XMapWindow(dpy_, probe);
        XSync(dpy_, False);
        bool done = WaitFor([&] { return !Longs(probe, "WM_STATE").empty(); }, 500);
        XDestroyWindow(dpy_, probe);
        XSync(dpy_, False);
        return done;
      },
      2 * WAIT_MS);
  return managed || why("it did not manage a new window");
}

XServer::~XServer() {
  Kill();
}

void XServer::Kill() {
  if (dpy_) // first, or Xlib ends this process when the server goes
    XCloseDisplay(dpy_);
  dpy_ = nullptr;
  if (session_ > 0) {
    kill(-session_, SIGKILL);
    waitpid(session_, nullptr, 0);
    session_ = -1;
  }
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
  }
}

std::vector<Window> XServer::TopLevel() const {
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  std::vector<Window> all;
  if (XQueryTree(dpy_, DefaultRootWindow(dpy_), &root, &parent, &children, &n))
    all.assign(children, children + n);
  if (children)
    XFree(children);
  return all;
}

long ResidentBytes(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0)
      return std::stol(line.substr(6)) * 1024;
  return -1;
}

long long CpuNanoseconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
  long long ns = -1;
  in >> ns;
  return ns;
}

// The client window in a top-level window: itself without a window manager, else the window
// in the frame that the manager marked with WM_STATE (None for a window of the manager's own).
Window XServer::ClientOf(Window top) const {
  if (!managed())
    return top;
  std::vector<Window> todo = {top};
  for (size_t i = 0; i < todo.size(); i++) {
    if (!Longs(todo[i], "WM_STATE").empty())
      return todo[i];
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(dpy_, todo[i], &root, &parent, &children, &count))
      for (unsigned c = 0; c < count; c++)
        todo.push_back(children[c]);
    if (children)
      XFree(children);
  }
  return None;
}

// Whether a client window belongs to the desktop rather than to a program run on it: rulers
// carry their process, and the desktop's processes are all in its process group.
bool XServer::DesktopsOwn(Window w) const {
  long pid = PidOf(w);
  return pid <= 0 || getpgid(static_cast<pid_t>(pid)) == session_;
}

std::vector<Window> XServer::Windows() const {
  std::vector<Window> shown;
  for (Window top : TopLevel()) {
    Window w = ClientOf(top);
    XWindowAttributes a;
    if (w != None && XGetWindowAttributes(dpy_, w, &a) && a.map_state == IsViewable &&
        (a.width > 1 || a.height > 1) && !(managed() && DesktopsOwn(w)))
      shown.push_back(w);
  }
  return shown;
}

Geometry XServer::FrameOf(Window w) const {
  for (;;) {
    Window root, parent, *children = nullptr;
    unsigned n;
    if (!XQueryTree(dpy_, w, &root, &parent, &children, &n))
      return {-1, -1, -1, -1};
    if (children)
      XFree(children);
    if (parent == root)
      return GeometryOf(w);
    w = parent;
  }
}

Geometry XServer::WorkArea() const {
  std::vector<long> v = Longs(DefaultRootWindow(dpy_), "_NET_WORKAREA"); // one per desktop
  if (v.size() < 4)
    return {0, 0, width_, height_};
  return {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
          static_cast<int>(v[3])};
}

std::vector<Window> XServer::WaitForWindows(size_t n, int timeout_ms) const {
  std::vector<Window> shown;
  WaitFor([&] { return (shown = Windows()).size() == n; }, timeout_ms);
  return shown;
}

Geometry XServer::GeometryOf(Window w) const {
  XWindowAttributes a;
  Window child;
  int x, y;
  if (!XGetWindowAttributes(dpy_, w, &a) ||
      !XTranslateCoordinates(dpy_, w, DefaultRootWindow(dpy_), 0, 0, &x, &y, &child))
    return {-1, -1, -1, -1};
  return {x, y, a.width, a.height};
}

int XServer::BorderOf(Window w) const {
  XWindowAttributes a;
  return XGetWindowAttributes(dpy_, w, &a) ? a.border_width : 0;
}

bool XServer::WaitForGeometry(Window w, const Geometry &g, int timeout_ms) const {
  return WaitFor([&] { return GeometryOf(w) == g; }, timeout_ms);
}

std::vector<long> XServer::Longs(Window w, const char *property) const {
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char *data = nullptr;
  std::vector<long> values;
  if (XGetWindowProperty(dpy_, w, XInternAtom(dpy_, property, False), 0, 64, False, AnyPropertyType,
                         &type, &format, &n, &after, &data) == Success &&
      data && format == 32) {
    const long *v = reinterpret_cast<const long *>(data); // as Xlib hands 32-bit items over
    values.assign(v, v + n);
  }
  if (data)
    XFree(data);
  return values;
}

long XServer::PidOf(Window w) const {
  std::vector<long> pid = Longs(w, "_NET_WM_PID");
  return pid.size() == 1 ? pid[0] : -1;
}

XServer::Image XServer::Grab(int x, int y, int w, int h) const {
  Image img = GrabWindow(DefaultRootWindow(dpy_), x, y, w, h);
  if (img.px.empty())
    throw std::runtime_error("XGetImage failed");
  return img;
}

XServer::Image XServer::GrabWindow(Window win, int x, int y, int w, int h) const {
  Image img{x, y, w, h, {}};
  XImage *xi = XGetImage(dpy_, win, x, y, w, h, AllPlanes, ZPixmap);
  if (!xi)
    return img;
  img.px.reserve(static_cast<size_t>(w) * h);
  for (int j = 0; j < h; j++)
    for (int i = 0; i < w; i++)
      img.px.push_back(XGetPixel(xi, i, j) & 0xffffff);
  XDestroyImage(xi);
  return img;
}

bool XServer::WaitPainted(Window w, int timeout_ms) const {
  return WaitFor(
      [&] {
        Geometry g = GeometryOf(w);
        if (g.w <= 1)
          return false;
        Image img = GrabWindow(w, 0, 0, g.w < 100 ? g.w : 100, g.h < 100 ? g.h : 100);
        size_t orange = 0;
        for (unsigned long p : img.px)
          orange += p == ORANGE;
        return !img.px.empty() && orange > img.px.size() / 2;
      },
      timeout_ms);
}

void XServer::MoveTo(int x, int y) const {
  XTestFakeMotionEvent(dpy_, -1, x, y, CurrentTime);
  XSync(dpy_, False);
}

void XServer::Button(unsigned button, bool down) const {
  XTestFakeButtonEvent(dpy_, button, down, CurrentTime);
  XSync(dpy_, False);
}

void XServer::Click(unsigned button) const {
  Button(button, true);
  Button(button, false);
}

void XServer::KeyCodeTap(int keycode, const std::vector<unsigned long> &mods) const {
  for (unsigned long m : mods)
    XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, m), True, CurrentTime);
  XTestFakeKeyEvent(dpy_, keycode, True, CurrentTime);
  XTestFakeKeyEvent(dpy_, keycode, False, CurrentTime);
  for (auto m = mods.rbegin(); m != mods.rend(); ++m)
    XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, *m), False, CurrentTime);
  XSync(dpy_, False);
}

void XServer::Key(unsigned long sym, const std::vector<unsigned long> &mods) const {
  KeyCodeTap(XKeysymToKeycode(dpy_, sym), mods);
}

// A point of w that no window above it covers, its middle where that is free.
void XServer::VisiblePoint(Window w, int *x, int *y) const {
  Geometry g = GeometryOf(w);
  std::vector<Geometry> above;
  std::vector<Window> shown = Windows(); // bottom to top
  for (auto i = std::find(shown.begin(), shown.end(), w); i != shown.end(); ++i)
    if (*i != w) { // a click on a window's X border goes to that window too
      Geometry a = GeometryOf(*i);
      int b = BorderOf(*i);
      above.push_back({a.x - b, a.y - b, a.w + 2 * b, a.h + 2 * b});
    }
  *x = g.x + g.w / 2;
  *y = g.y + g.h / 2;
  for (int across : {g.h / 2, 6, g.h - 7})
    for (int along : {4, 2, 6, 1, 7}) {
      int cx = g.x + g.w * along / 8, cy = g.y + across;
      if (std::none_of(above.begin(), above.end(), [&](const Geometry &a) {
            return cx >= a.x && cx < a.x + a.w && cy >= a.y && cy < a.y + a.h;
          })) {
        *x = cx;
        *y = cy;
        return;
      }
    }
}

bool XServer::Focus(Window w) const {
  if (managed() && !IsWayland(desktop_)) {
    // A click on a part of w that no other window covers, a few pixels aside from the last such
    // click, so that two are not a double click. Under load xfwm4 now and then lets a quick
    // click pass without giving the focus: then the user clicks again.
    return WaitFor([&] {
      int px, py;
      VisiblePoint(w, &px, &py);
      MoveTo(px + (clicks_++ % 2 ? 4 : -4), py);
      Click(1);
      return WaitFor([&] { return FocusOf() == w; }, 2000) && SettledFocus() == w;
    });
  }
  // Without a window manager a click gives no focus. Under a Wayland compositor XTEST's clicks
  // reach the X client but not the compositor, which is what gives the focus on a user's click:
  // the test gives it as the compositor would.
  XSetInputFocus(dpy_, w, RevertToPointerRoot, CurrentTime);
  XSync(dpy_, False);
  return WaitFor([&] { return FocusOf() == w; }) && (!managed() || SettledFocus() == w);
}

Window XServer::SettledFocus() const {
  Window last = FocusOf();
  long since = NowMs();
  WaitFor([&] {
    Window now = FocusOf();
    if (now != last) {
      last = now;
      since = NowMs();
    }
    return NowMs() - since >= 250;
  });
  return last;
}

Window XServer::FocusOf() const {
  Window f;
  int revert;
  XGetInputFocus(dpy_, &f, &revert);
  return f;
}

int XServer::SpareKeyCode(unsigned long sym) const {
  int lo, hi, per;
  XDisplayKeycodes(dpy_, &lo, &hi);
  KeySym *map = XGetKeyboardMapping(dpy_, lo, hi - lo + 1, &per);
  int spare = -1;
  for (int kc = hi; kc >= lo && spare < 0; kc--) {
    bool empty = true;
    for (int i = 0; i < per; i++)
      empty = empty && map[(kc - lo) * per + i] == NoSymbol;
    if (empty)
      spare = kc;
  }
  XFree(map);
  if (spare < 0)
    throw std::runtime_error("no spare keycode");
  KeySym one = sym;
  XChangeKeyboardMapping(dpy_, spare, 1, &one, 1);
  XSync(dpy_, False);
  return spare;
}

bool XServer::NumLockOn() const {
  XkbStateRec s;
  XkbGetState(dpy_, XkbUseCoreKbd, &s);
  unsigned mask = XkbKeysymToModifiers(dpy_, XK_Num_Lock);
  return (s.locked_mods & mask) != 0;
}

int StatusOf(int ws) {
  if (WIFEXITED(ws))
    return WEXITSTATUS(ws);
  if (WIFSIGNALED(ws))
    return 128 + WTERMSIG(ws);
  return -1;
}

PixtapeRun::PixtapeRun(const XServer *server, const std::vector<std::string> &args,
                       const char *display, const std::vector<std::string> &wrapper,
                       const std::vector<std::string> &env)
  : server_(server) {
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  char err_tmpl[] = "/tmp/pixtape-stderr-XXXXXX";
  int err = mkstemp(err_tmpl);
  if (err < 0)
    throw std::runtime_error("mkstemp");
  err_path_ = err_tmpl;
  // stdout is a pipe, as in `$(pixtape)`, so that a test sees when every process lets go of it
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  pid_t launcher = fork();
  if (launcher == 0) {
    unsetenv("WAYLAND_DISPLAY");
    setenv("FLTK_BACKEND", "x11", 1);
    setenv("FLTK_SCALING_FACTOR", "1", 1);
    if (display)
      setenv("DISPLAY", display, 1);
    else if (server)
      setenv("DISPLAY", server->name().c_str(), 1);
    else
      unsetenv("DISPLAY");
    for (const std::string &e : env) {
      size_t eq = e.find('=');
      if (eq == std::string::npos)
        unsetenv(e.c_str());
      else
        setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
    }
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(out[1], 1);
    dup2(err, 2); // the detached process keeps this: a file, not a pipe to wait on
    std::vector<char *> argv;
    for (const std::string &w : wrapper)
      argv.push_back(const_cast<char *>(w.c_str()));
    argv.push_back(const_cast<char *>(PIXTAPE_BINARY));
    for (const std::string &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(err);
  close(out[1]);
  out_fd_ = out[0];
  fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  int ws = 0;
  if (WaitFor([&] { return waitpid(launcher, &ws, WNOHANG) == launcher; }, 2 * WAIT_MS))
    launcher_status_ = StatusOf(ws);
  else // the shell would still be waiting: it did not detach, so it is the ruler process
    ruler_ = launcher;
}

PixtapeRun::~PixtapeRun() {
  if (Running()) {
    kill(ruler_, SIGKILL);
    waitpid(ruler_, nullptr, 0);
  }
  unlink(err_path_.c_str());
  close(out_fd_);
}

std::string PixtapeRun::Stderr() const {
  return ReadFile(err_path_);
}
// Reads what the pipe holds; true at its end.
bool PixtapeRun::ReadStdout() {
  char buf[4096];
  ssize_t n;
  while ((n = read(out_fd_, buf, sizeof buf)) > 0)
    out_.append(buf, static_cast<size_t>(n));
  return n == 0;
}

std::string PixtapeRun::Stdout() {
  ReadStdout();
  return out_;
}

bool PixtapeRun::WaitStdoutEnd(int timeout_ms) {
  return WaitFor([&] { return ReadStdout(); }, timeout_ms);
}

Window PixtapeRun::FirstRuler(int timeout_ms) {
  std::vector<Window> shown = server_->WaitForWindows(1, timeout_ms);
  if (shown.size() != 1 || !server_->WaitPainted(shown[0], timeout_ms))
    return None;
  if (ruler_ < 0)
    ruler_ = server_->PidOf(shown[0]);
  return shown[0];
}

bool PixtapeRun::Running() {
  if (ruler_ <= 0 || exit_status_ != -1)
    return false;
  int ws;
  pid_t r = waitpid(ruler_, &ws, WNOHANG);
  if (r == ruler_) {
    exit_status_ = StatusOf(ws);
    return false;
  }
  return r == 0;
}

int PixtapeRun::WaitExit(int timeout_ms) {
  WaitFor([&] { return !Running(); }, timeout_ms);
  return exit_status_;
}
