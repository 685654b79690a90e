// Test support: private Xvfb servers, XTEST input, and runs of the real binary.
// See LICENSE file for copyright and license details.
#include "XServer.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
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

XServer::XServer(int width, int height)
  : width_(width)
  , height_(height) {
  // Rulers shown on it, in this process or in pixtape's, get the same fonts on every machine.
  setenv("FONTCONFIG_FILE", PIXTAPE_TEST_FONTS, 1);
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
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
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
  XSetErrorHandler(IgnoreXError);
  dpy_ = XOpenDisplay(name_.c_str());
  if (!dpy_)
    throw std::runtime_error("cannot open " + name_);
}

XServer::~XServer() {
  Kill();
}

void XServer::Kill() {
  if (dpy_) // first, or Xlib ends this process when the server goes
    XCloseDisplay(dpy_);
  dpy_ = nullptr;
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
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

std::vector<Window> XServer::Windows() const {
  std::vector<Window> shown;
  for (Window w : TopLevel()) {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy_, w, &a) && a.map_state == IsViewable &&
        (a.width > 1 || a.height > 1))
      shown.push_back(w);
  }
  return shown;
}

std::vector<Window> XServer::WaitForWindows(size_t n, int timeout_ms) const {
  std::vector<Window> shown;
  WaitFor([&] { return (shown = Windows()).size() == n; }, timeout_ms);
  return shown;
}

Geometry XServer::GeometryOf(Window w) const {
  XWindowAttributes a;
  if (!XGetWindowAttributes(dpy_, w, &a))
    return {-1, -1, -1, -1};
  return {a.x, a.y, a.width, a.height};
}

bool XServer::WaitForGeometry(Window w, const Geometry &g, int timeout_ms) const {
  return WaitFor([&] { return GeometryOf(w) == g; }, timeout_ms);
}

long XServer::PidOf(Window w) const {
  Atom pid_atom = XInternAtom(dpy_, "_NET_WM_PID", False);
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char *data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(dpy_, w, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after,
                         &data) == Success &&
      data && n == 1)
    pid = *reinterpret_cast<long *>(data);
  if (data)
    XFree(data);
  return pid;
}

XServer::Image XServer::Grab(int x, int y, int w, int h) const {
  Image img{x, y, w, h, {}};
  XImage *xi = XGetImage(dpy_, DefaultRootWindow(dpy_), x, y, w, h, AllPlanes, ZPixmap);
  if (!xi)
    throw std::runtime_error("XGetImage failed");
  img.px.reserve(static_cast<size_t>(w) * h);
  for (int j = 0; j < h; j++)
    for (int i = 0; i < w; i++)
      img.px.push_back(XGetPixel(xi, i, j) & 0xffffff);
  XDestroyImage(xi);
  return img;
}

unsigned long XServer::Pixel(int x, int y) const {
  return Grab(x, y, 1, 1).px[0];
}

bool XServer::WaitPainted(Window w, int timeout_ms) const {
  return WaitFor(
      [&] {
        Geometry g = GeometryOf(w);
        if (g.w <= 1)
          return false;
        int gw = g.w < 100 ? g.w : 100, gh = g.h < 100 ? g.h : 100;
        Image img = Grab(g.x, g.y, gw, gh);
        size_t orange = 0;
        for (unsigned long p : img.px)
          orange += p == ORANGE;
        return orange > img.px.size() / 2;
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

void XServer::Focus(Window w) const {
  XSetInputFocus(dpy_, w, RevertToPointerRoot, CurrentTime);
  XSync(dpy_, False);
  WaitFor([&] {
    Window f;
    int revert;
    XGetInputFocus(dpy_, &f, &revert);
    return f == w;
  });
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

static std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
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
