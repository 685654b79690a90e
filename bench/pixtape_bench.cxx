// Prints what pixtape costs on this machine: start-up time, memory, drag CPU and repaint time,
// each on a private Xvfb. It measures; it asserts nothing.
// See LICENSE file for copyright and license details.
#include "RulerWindow.h"
#include "XServer.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/keysym.h>
#include <FL/fl_draw.H>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

static double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

static double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// From exec of the launching process until the first ruler is on screen and painted.
static void StartUp(int runs) {
  std::vector<double> ms;
  for (int i = 0; i < runs; i++) {
    XServer x(1920, 1080);
    auto start = std::chrono::steady_clock::now();
    PixtapeRun run(&x);
    Window first = run.FirstRuler();
    if (first == None)
      return (void)printf("start-up: the ruler did not appear\n");
    ms.push_back(Ms(start));
  }
  printf("%-44s %10.1f ms   (median of %d, fresh Xvfb each)\n", "start-up, exec to painted ruler",
         Median(ms), runs);
}

struct DragCost {
  double app_ms, server_ms; // CPU per step
};

// Drags the screen-wide window at the top of x down by steps of 3 px, each step waited for, and
// returns the CPU that the window's process and the X server spent per step.
static DragCost Drag(const XServer &x, Window w, pid_t pid, int steps) {
  x.MoveTo(100, 20);
  x.Button(1, true);
  long long app0 = CpuNanoseconds(pid), srv0 = CpuNanoseconds(x.pid());
  for (int i = 1; i <= steps; i++) {
    x.MoveTo(100, 20 + i * 3);
    WaitFor([&] { return x.GeometryOf(w).y == i * 3; });
  }
  long long app = CpuNanoseconds(pid) - app0, srv = CpuNanoseconds(x.pid()) - srv0;
  x.Button(1, false);
  return {app / 1e6 / steps, srv / 1e6 / steps};
}

// What any window that follows a drag costs: a move and a redraw request per step, as a ruler
// makes, but one colour painted.
class FlatWindow : public Fl_Double_Window {
public:
  FlatWindow(int W, int H)
    : Fl_Double_Window(W, H) {
    end();
    border(0);
    show();
  }
  void draw() override {
    fl_color(RULER_COLOR);
    fl_rectf(0, 0, w(), h());
  }
  int handle(int event) override {
    int ret = Fl_Double_Window::handle(event);
    switch (event) {
      case FL_PUSH:
        dx_ = x() - Fl::event_x_root();
        dy_ = y() - Fl::event_y_root();
        return 1;
      case FL_DRAG:
        resize(Fl::event_x_root() + dx_, Fl::event_y_root() + dy_, w(), h());
        redraw();
        return 1;
    }
    return ret;
  }

private:
  int dx_ = 0, dy_ = 0;
};

// The drag of a flat window as wide as the screen, in a process of its own as pixtape's is.
static DragCost FlatDrag(const XServer &x, int steps) {
  pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", x.name().c_str(), 1);
    setenv("FLTK_SCALING_FACTOR", "1", 1);
    FlatWindow w(Fl::w(), HORIZ_THICKNESS);
    Fl::run();
    _exit(0);
  }
  std::vector<Window> shown = x.WaitForWindows(1);
  DragCost cost{-1, -1};
  if (shown.size() == 1 && x.WaitForGeometry(shown[0], {0, 0, x.width(), HORIZ_THICKNESS})) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let it settle
    cost = Drag(x, shown[0], pid, steps);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return cost;
}

// Resident memory with one ruler, the growth per copy, and the CPU a drag step costs beside a
// flat window's.
static void MemoryAndDrag(int steps) {
  const int wide = 3840;
  DragCost flat;
  {
    XServer x(wide, 1080);
    flat = FlatDrag(x, steps);
  }
  XServer x(wide, 1080);
  PixtapeRun run(&x);
  Window first = run.FirstRuler();
  if (first == None)
    return (void)printf("memory: the ruler did not appear\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let it settle
  pid_t pid = run.ruler_pid();
  long one = ResidentBytes(pid);
  printf("%-44s %10.2f MiB\n", "resident, one ruler", one / 1048576.0);

  // the drag first, on the screen-wide first ruler alone
  DragCost ruler = Drag(x, first, pid, steps);
  printf("%-44s %10.3f ms   (%.2fx a flat window's; over %d steps)\n",
         "drag step of a 3840 px ruler, pixtape CPU", ruler.app_ms, ruler.app_ms / flat.app_ms,
         steps);
  printf("%-44s %10.3f ms   (%.2fx)\n", "drag step of a 3840 px ruler, X server CPU",
         ruler.server_ms, ruler.server_ms / flat.server_ms);

  const int copies = 20;
  x.Focus(first);
  for (int i = 1; i <= copies; i++) {
    x.MoveTo(600, 100 + 20 * i);
    x.Key(XK_c);
  }
  x.WaitForWindows(copies + 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  long more = ResidentBytes(pid);
  printf("%-44s %10.1f KiB  (over %d copies)\n", "resident growth per copy shown",
         (more - one) / 1024.0 / copies, copies);
}

// Median milliseconds of n repaints of r, each finished by the server before the next.
static double MedianRepaint(RulerWindow *r, int n) {
  std::vector<double> ms;
  for (int i = 0; i < n; i++) {
    auto start = std::chrono::steady_clock::now();
    r->redraw();
    Fl::flush();
    XSync(fl_display, False);
    ms.push_back(Ms(start));
  }
  return Median(ms);
}

// Median milliseconds of n first paints: each repaint gives the ruler a look it has not had.
static double MedianFirstPaint(RulerWindow *r, int n) {
  std::vector<double> ms;
  for (int i = 0; i < n; i++) {
    auto start = std::chrono::steady_clock::now();
    r->reversed ^= 1;
    r->resize(r->x(), r->y(), r->horizontal ? r->w() - 1 : r->w(),
              r->horizontal ? r->h() : r->h() - 1);
    Fl::flush();
    XSync(fl_display, False);
    ms.push_back(Ms(start));
  }
  return Median(ms);
}

static void Repaint(int n) {
  XServer server(7680, 2160); // large enough to show every ruler whole
  setenv("DISPLAY", server.name().c_str(), 1);
  setenv("FLTK_SCALING_FACTOR", "1", 1);
  RulerWindow ruler(0, 0, 1, 1, 1, 0);
  struct {
    const char *what;
    int horizontal, len;
  } cases[] = {{"horizontal", 1, 1920},
               {"horizontal", 1, 3840},
               {"horizontal", 1, 7680},
               {"vertical", 0, 2160}};
  for (auto c : cases) {
    ruler.horiz_len = ruler.vert_len = c.len;
    ruler.SetOrientation(c.horizontal, 0, 0);
    while (!server.WaitPainted(fl_xid(&ruler), 0))
      Fl::wait(0.01);
    MedianRepaint(&ruler, 10); // warm the font and glyph caches
    char what[64];
    snprintf(what, sizeof what, "repaint, %s %d px", c.what, c.len);
    printf("%-44s %10.3f ms   (median of %d, server included)\n", what, MedianRepaint(&ruler, n),
           n);
    snprintf(what, sizeof what, "first paint of a new look, %s %d px", c.what, c.len);
    printf("%-44s %10.3f ms   (median of %d)\n", what, MedianFirstPaint(&ruler, n / 4), n / 4);
  }
  ruler.hide();
}

int main(int argc, char **argv) {
  int repaints = argc > 1 ? atoi(argv[1]) : 200;
  StartUp(11);
  MemoryAndDrag(200);
  Repaint(repaints);
  return 0;
}
