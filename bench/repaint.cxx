// Prints how long a full repaint of a ruler takes, the X server's share included.
// See LICENSE file for copyright and license details.
#include "RulerWindow.h"
#include "XServer.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Median milliseconds of n repaints of r, each finished by the server before the next.
static double MedianRepaint(RulerWindow *r, int n) {
  std::vector<double> ms;
  for (int i = 0; i < n; i++) {
    auto start = std::chrono::steady_clock::now();
    r->redraw();
    Fl::flush();
    XSync(fl_display, False);
    auto end = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

int main(int argc, char **argv) {
  int n = argc > 1 ? atoi(argv[1]) : 200;
  XServer server(7680, 2160); // large enough to show every ruler whole
  setenv("DISPLAY", server.name().c_str(), 1);
  setenv("FLTK_SCALING_FACTOR", "1", 1);
  Fl::e_x_root = Fl::e_y_root = 0;
  RulerWindow ruler(0, 0, 1, 1, 1, 0);
  struct {
    const char *what;
    int horizontal, len;
  } cases[] = {{"horizontal", 1, 1920},
               {"horizontal", 1, 3840},
               {"horizontal", 1, 7680},
               {"vertical", 0, 2160}};
  printf("%-12s %8s %12s   (median of %d on Xvfb)\n", "ruler", "length", "repaint ms", n);
  for (auto c : cases) {
    ruler.SetOrientation(c.horizontal, 0, 0);
    if (c.horizontal)
      ruler.resize(0, 0, c.len, HORIZ_THICKNESS);
    else
      ruler.resize(0, 0, VERT_THICKNESS, c.len);
    while (!server.WaitPainted(fl_xid(&ruler), 0))
      Fl::wait(0.01);
    MedianRepaint(&ruler, 10); // warm the font and glyph caches
    printf("%-12s %8d %12.3f\n", c.what, c.len, MedianRepaint(&ruler, n));
  }
  ruler.hide();
  return 0;
}
