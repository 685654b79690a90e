// Prints what pixtape costs on this machine: start-up time, memory, drag CPU and repaint time,
// each on a private Xvfb. It measures; it asserts nothing.
// See LICENSE file for copyright and license details.
#include "RulerWindow.h"
#include "XServer.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
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

// Resident memory with one ruler, the growth per copy, and the CPU a drag step costs.
static void MemoryAndDrag(int steps) {
  XServer x(1920, 1080);
  PixtapeRun run(&x);
  Window first = run.FirstRuler();
  if (first == None)
    return (void)printf("memory: the ruler did not appear\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let it settle
  pid_t pid = run.ruler_pid();
  long one = ResidentBytes(pid);
  printf("%-44s %10.2f MiB\n", "resident, one ruler", one / 1048576.0);

  // the drag first, on the screen-wide first ruler alone
  x.MoveTo(100, 20);
  x.Button(1, true);
  long long app0 = CpuNanoseconds(pid), srv0 = CpuNanoseconds(x.pid());
  for (int i = 1; i <= steps; i++) {
    x.MoveTo(100, 20 + i * 3);
    WaitFor([&] { return x.GeometryOf(first).y == i * 3; });
  }
  long long app = CpuNanoseconds(pid) - app0, srv = CpuNanoseconds(x.pid()) - srv0;
  x.Button(1, false);
  printf("%-44s %10.3f ms   (over %d steps)\n", "drag step of a 1920 px ruler, pixtape CPU",
         app / 1e6 / steps, steps);
  printf("%-44s %10.3f ms\n", "drag step of a 1920 px ruler, X server CPU", srv / 1e6 / steps);

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
