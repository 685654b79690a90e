// Test support: a private Xvfb for each test, input sent as a user's hands would send it (XTEST),
// and what the server shows read back (windows, geometry, pixels); plus runs of the real binary.
// See LICENSE file for copyright and license details.
#ifndef PIXTAPE_TESTS_XSERVER_H
#define PIXTAPE_TESTS_XSERVER_H

#include <X11/Xlib.h>
#include <functional>
#include <ostream>
#include <string>
#include <sys/types.h>
#include <vector>

struct Geometry {
  int x, y, w, h;
  bool operator==(const Geometry &o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};
std::ostream &operator<<(std::ostream &os, const Geometry &g);

// The longest a test waits for a state the server or another process reaches in its own time:
// far more than it takes, even on a loaded machine, since only a failing test waits so long.
const int WAIT_MS = 15000;

// Polls pred every few milliseconds until it holds or timeout_ms have passed; returns the last
// answer. Tests wait for what the server shows, never for a fixed time.
bool WaitFor(const std::function<bool()> &pred, int timeout_ms = WAIT_MS);

const unsigned long ORANGE = 0xffb63f; // a ruler's background as the server stores it
const unsigned long BLACK = 0x000000;

// The desktops that end-to-end scenarios run under: "" for a bare Xvfb, the others each a window
// manager on one, or a Wayland compositor with its own Xwayland.
const std::vector<std::string> &Desktops();

class XServer {
public:
  // A private X server width by height, with desktop's window manager running on it (Desktops()).
  // A desktop that cannot start here leaves skipped() saying why, and nothing else may be asked.
  explicit XServer(int width = 1280, int height = 800, const std::string &desktop = "");
  ~XServer();
  XServer(const XServer &) = delete;
  XServer &operator=(const XServer &) = delete;

  Display *display() const { return dpy_; }
  const std::string &name() const { return name_; } // ":N", for DISPLAY
  pid_t pid() const { return pid_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const std::string &skipped() const { return skipped_; }
  bool managed() const { return !desktop_.empty(); } // a window manager runs
  // The screen as the toolkit reports it: the window manager's work area, if it names one.
  Geometry WorkArea() const;

  // Viewable client windows larger than 1x1, bottom to top; under a window manager, those of
  // processes other than the desktop's own.
  std::vector<Window> Windows() const;
  // Waits until exactly n such windows are shown; returns them.
  std::vector<Window> WaitForWindows(size_t n, int timeout_ms = WAIT_MS) const;
  Geometry GeometryOf(Window w) const; // in root coordinates, whatever frame holds it
  Geometry FrameOf(Window w) const;    // of the window manager's frame around w, or w's
  int BorderOf(Window w) const;        // the width of w's X border, outside its geometry
  bool WaitForGeometry(Window w, const Geometry &g, int timeout_ms = WAIT_MS) const;
  long PidOf(Window w) const; // _NET_WM_PID, or -1
  // A property of 32-bit items (CARDINAL, WINDOW, ...); empty when w has none.
  std::vector<long> Longs(Window w, const char *property) const;
  // A snapshot of a root rectangle; pixels read as 0xRRGGBB.
  struct Image {
    int x0, y0, w, h;
    std::vector<unsigned long> px;
    unsigned long at(int x, int y) const { return px[(y - y0) * w + (x - x0)]; }
  };
  Image Grab(int x, int y, int w, int h) const;
  // The window's own pixels, in its coordinates: what a compositor shows of it too. No pixels
  // while the window is not viewable: being mapped, or for a moment while a window manager
  // reparents it.
  Image GrabWindow(Window w, int x, int y, int width, int height) const;
  // Waits until the window's top-left pixel region shows ruler paint.
  bool WaitPainted(Window w, int timeout_ms = WAIT_MS) const;

  void MoveTo(int x, int y) const;
  void Button(unsigned button, bool down) const;
  void Click(unsigned button) const;
  // Presses and releases sym with the modifier keys mods held.
  void Key(unsigned long sym, const std::vector<unsigned long> &mods = {}) const;
  void KeyCodeTap(int keycode, const std::vector<unsigned long> &mods = {}) const;
  // Gives w the keyboard focus as a user would (a click, under a window manager that takes one)
  // and waits until the server has given it.
  bool Focus(Window w) const;
  Window FocusOf() const; // the window that has the keyboard focus
  // Waits until the focus has stayed on one window for a quarter of a second, and returns it: a
  // window manager moves the focus in its own time after a window appears or a click, and a
  // user's next key comes after it has. Nothing on the server says that a manager is done with
  // the focus (_NET_ACTIVE_WINDOW follows the focus, it does not come after it), so a quiet
  // period stands for that state.
  Window SettledFocus() const;
  // Maps an unused keycode to sym alone, so that sym arrives unshifted (a real '+', say).
  int SpareKeyCode(unsigned long sym) const;
  bool NumLockOn() const;
  void Sync() const { XSync(dpy_, False); }
  // Ends the server at once, as a crash or a lost connection would; nothing else may be asked
  // of this object afterwards.
  void Kill();
  // Every top-level window, shown or not, bottom to top: one round trip.
  std::vector<Window> TopLevel() const;

private:
  void StartXvfb();
  bool StartDesktop();
  bool DesktopsOwn(Window w) const;
  void VisiblePoint(Window w, int *x, int *y) const;
  Window ClientOf(Window top) const;

  pid_t pid_ = -1;     // Xvfb
  pid_t session_ = -1; // the desktop's processes, one process group
  Display *dpy_ = nullptr;
  std::string name_;
  int width_, height_;
  std::string desktop_, dir_, skipped_;
  mutable int clicks_ = 0;
};

// One run of the real pixtape binary. The test process is made a child subreaper, so the detached
// ruler process becomes its child and its exit status can be read.
class PixtapeRun {
public:
  // Starts pixtape with args on server (or with no DISPLAY when server is null, or with display
  // as DISPLAY when it is given) and waits until the launching process has ended.
  // wrapper, when given, runs the binary (valgrind and its options, say). env changes the
  // environment after the test defaults: "NAME=VALUE" sets NAME, "NAME" unsets it.
  PixtapeRun(const XServer *server, const std::vector<std::string> &args = {},
             const char *display = nullptr, const std::vector<std::string> &wrapper = {},
             const std::vector<std::string> &env = {});
  ~PixtapeRun();

  // The launching process's exit status (128+N for signal N), -1 while it has not ended.
  int launcher_status() const { return launcher_status_; }
  std::string Stderr() const;
  std::string Stdout(); // what has reached the pipe so far
  // Waits until no process holds the write end of stdout's pipe any more.
  bool WaitStdoutEnd(int timeout_ms = WAIT_MS);

  // Waits until the first ruler is shown and painted (None if it is not in time); from then on
  // the ruler process is the one it names.
  Window FirstRuler(int timeout_ms = WAIT_MS);
  pid_t ruler_pid() const { return ruler_; }
  // Waits for the ruler process to end; its status as launcher_status(), -1 on time-out.
  int WaitExit(int timeout_ms = WAIT_MS);
  bool Running();

private:
  const XServer *server_;
  pid_t ruler_ = -1;
  int launcher_status_ = -1;
  int exit_status_ = -1;
  std::string err_path_;
  int out_fd_ = -1;
  std::string out_;
  bool ReadStdout();
};

int StatusOf(int wait_status);

// Resident memory of a process in bytes, from /proc.
long ResidentBytes(pid_t pid);
// CPU time a process has used, in nanoseconds, from /proc.
long long CpuNanoseconds(pid_t pid);

#endif
