// Where rulers are placed and how long they are made.
// See LICENSE file for copyright and license details.
#include "WindowTest.h"


XServer *WindowTest::server = nullptr;

using Placement = WindowTest;

TEST_F(Placement, ACopyLiesAgainstTheScreenEdgeThroughThePointerAtFullLength) {
  PointerAt(500, 300);
  RulerWindow *h = Ruler(500, 300, 1, 1, 1, 1);
  EXPECT_EQ(OnScreen(h), (Geometry{0, 300, 1280, 53}));
  EXPECT_EQ(h->reversed, 1);
  RulerWindow *v = Ruler(500, 300, 1, 1, 0, 0);
  EXPECT_EQ(OnScreen(v), (Geometry{500, 0, 67, 800}));
  EXPECT_EQ(v->reversed, 0);
  EXPECT_EQ(v->horiz_len, 1280);
  EXPECT_EQ(v->vert_len, 800);
}

TEST_F(Placement, OnlyMinusOneSelectsTheDefaultPosition) {
  PointerAt(500, 300);
  RulerWindow *r = Ruler(500, 300, 1, 1, 1, 0);
  struct {
    int horizontal, x, y;
    Geometry want;
  } cases[] = {
      {1, -1, -1, {0, 300, 1280, 53}},  {0, -1, -1, {500, 0, 67, 800}},
      {1, 0, 0, {0, 0, 1280, 53}},      {0, 0, 0, {0, 0, 67, 800}},
      {1, 40, -1, {40, 300, 1280, 53}}, {0, -1, 70, {500, 70, 67, 800}},
      {1, -1, 0, {0, 0, 1280, 53}},     {0, 0, -1, {0, 0, 67, 800}},
  };
  for (auto c : cases) {
    r->SetOrientation(c.horizontal, c.x, c.y);
    EXPECT_EQ(r->horizontal, c.horizontal);
    EXPECT_EQ(OnScreen(r), c.want) << c.horizontal << " " << c.x << " " << c.y;
  }
}

TEST_F(Placement, TurningLeavesTheDirectionAlone) {
  PointerAt(10, 10);
  RulerWindow *r = Ruler(10, 10, 1, 1, 1, 1);
  r->SetOrientation(0);
  EXPECT_EQ(r->reversed, 1);
  r->reversed = 0;
  r->SetOrientation(1);
  EXPECT_EQ(r->reversed, 0);
}

TEST_F(Placement, EachOrientationKeepsItsOwnLength) {
  PointerAt(200, 100);
  RulerWindow *r = Ruler(200, 100, 1, 1, 1, 0);
  r->horiz_len = 400; // as shortening leaves it
  r->SetOrientation(0);
  EXPECT_EQ(OnScreen(r), (Geometry{200, 0, 67, 800}));
  PointerAt(300, 250);
  r->SetOrientation(1);
  EXPECT_EQ(OnScreen(r), (Geometry{0, 250, 400, 53}));
}

TEST_F(Placement, TheFirstRulerIsShownWhereItAsksToBeWithoutAMove) {
  PointerAt(0, 0); // no event has been handled yet at start-up
  Display *dpy = server->display();
  XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
  server->Sync();
  rulers.emplace_back(new RulerWindow(Fl::w(), HORIZ_THICKNESS, 1, 0));
  RulerWindow *r = rulers.back().get();
  EXPECT_EQ(OnScreen(r), (Geometry{0, 0, 1280, 53}));
  ASSERT_TRUE(server->WaitForWindows(1).size() == 1);
  // What the event loop does next (FLTK answers the map and the first expose) is sent too; every
  // request FLTK has made is carried out once its own round trip returns, and every event those
  // caused is in this connection's queue once a round trip of this one returns.
  Fl::check();
  XSync(fl_display, False);
  server->Sync();
  XEvent e;
  while (XCheckTypedEvent(dpy, ConfigureNotify, &e))
    ADD_FAILURE() << "moved or resized to " << e.xconfigure.width << "x" << e.xconfigure.height
                  << "+" << e.xconfigure.x << "+" << e.xconfigure.y;
  XSelectInput(dpy, DefaultRootWindow(dpy), NoEventMask);
  EXPECT_EQ(r->horiz_len, 1280);
  EXPECT_EQ(r->vert_len, 800);
}

// The window manager is told every size the program gives a ruler as its only size.
TEST_F(Placement, TheWindowManagerSeesEverySizeAsFixed) {
  PointerAt(200, 100);
  RulerWindow *r = Ruler(200, 100, 1, 1, 1, 0); // shown at 1 by 1, then sized
  auto fixed = [&]() {
    Geometry g = OnScreen(r);
    XSizeHints size;
    long supplied;
    EXPECT_TRUE(XGetWMNormalHints(server->display(), fl_xid(r), &size, &supplied));
    EXPECT_TRUE((size.flags & PMinSize) && (size.flags & PMaxSize));
    return Geometry{size.min_width, size.min_height, size.max_width, size.max_height} ==
           Geometry{g.w, g.h, g.w, g.h};
  };
  EXPECT_TRUE(fixed()) << "after construction";
  r->SetOrientation(0);
  EXPECT_TRUE(fixed()) << "turned";
  for (int key : {int('-'), int('+'), FL_Left}) {
    Fl::e_keysym = key; // as FLTK records a key press
    r->handle(FL_KEYDOWN);
    EXPECT_TRUE(fixed()) << "after key " << key;
  }
  EXPECT_EQ(r->w(), 1280); // the last key made it horizontal again
}
