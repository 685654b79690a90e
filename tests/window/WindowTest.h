// Test support: real RulerWindows in this process, shown on a private Xvfb.
// See LICENSE file for copyright and license details.
#ifndef PIXTAPE_TESTS_WINDOWTEST_H
#define PIXTAPE_TESTS_WINDOWTEST_H

#include <gtest/gtest.h> // before Xlib, whose macros clash with it

#include "RulerWindow.h"
#include "XServer.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xutil.h>
#include <cstdlib>
#include <memory>

class WindowTest : public ::testing::Test {
protected:
  // FLTK opens one display for the life of the process, so the server lives as long.
  static void SetUpTestSuite() {
    if (!server) {
      server = new XServer(1280, 800);
      setenv("DISPLAY", server->name().c_str(), 1);
      // PIXTAPE_TEST_SCALE runs a test at another scale (FLTK 1.4)
      const char *scale = getenv("PIXTAPE_TEST_SCALE");
      setenv("FLTK_SCALING_FACTOR", scale ? scale : "1", 1);
    }
  }
  void TearDown() override {
    for (auto &r : rulers)
      r->hide();
    rulers.clear();
    Fl::check();
    server->WaitForWindows(0);
  }
  // Sets the pointer position FLTK recorded at the last event, which placement reads.
  static void PointerAt(int x, int y) {
    Fl::e_x_root = x;
    Fl::e_y_root = y;
  }
  RulerWindow *Ruler(int X, int Y, int W, int H, int horizontal, int reversed) {
    rulers.emplace_back(new RulerWindow(X, Y, W, H, horizontal, reversed));
    return rulers.back().get();
  }
  // What the server shows for the ruler, once FLTK has sent it everything.
  Geometry OnScreen(RulerWindow *r) {
    Fl::flush();
    Window w = fl_xid(r);
    Geometry want{r->x(), r->y(), r->w(), r->h()};
    server->WaitForGeometry(w, want);
    return server->GeometryOf(w);
  }

  // Screen pixels per FLTK unit.
  static float Scale() {
#if FL_API_VERSION >= 10400
    return Fl::screen_scale(0);
#else
    return 1;
#endif
  }
  // Lets FLTK paint the ruler and waits until the server shows it painted at its geometry.
  XServer::Image Painted(Fl_Window *r) {
    Window w = fl_xid(r);
    auto px = [](int units) { return static_cast<int>(units * Scale() + 0.5f); };
    Geometry want{px(r->x()), px(r->y()), px(r->w()), px(r->h())};
    Fl::flush(); // paints what waits for no expose, so no earlier painting is mistaken for it
    XSync(fl_display, False);
    bool ok = WaitFor([&] {
      Fl::check();
      return server->GeometryOf(w) == want && server->WaitPainted(w, 0);
    });
    EXPECT_TRUE(ok) << "ruler not painted at " << want;
    return server->Grab(want.x, want.y, want.w, want.h);
  }

  static XServer *server;
  std::vector<std::unique_ptr<RulerWindow>> rulers;
};

#endif
