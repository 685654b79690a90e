// What each press in a run of left clicks does to a ruler.
// See LICENSE file for copyright and license details.
#include "WindowTest.h"

using Clicks = WindowTest;

TEST_F(Clicks, EachCountInARunHasItsOwnAction) {
  struct {
    int clicks, horizontal, reversed;
  } cases[] = {
      {0, 1, 0}, // a single press only anchors a drag
      {1, 1, 1}, // double click: reverse
      {2, 0, 0}, // triple click: turn, zero at the start
      {3, 1, 1}, // fourth: reverse
      {4, 0, 1}, // fifth: turn, zero at the far end
      {5, 1, 0}, // sixth and later: nothing
      {9, 1, 0},
  };
  for (auto c : cases) {
    PointerAt(300, 20);
    RulerWindow *r = Ruler(300, 20, 1, 1, 1, 0);
    Fl::e_keysym = FL_Button + FL_LEFT_MOUSE; // what FLTK records for a left press
    Fl::event_clicks(c.clicks);
    EXPECT_EQ(r->handle(FL_PUSH), 1);
    EXPECT_EQ(r->horizontal, c.horizontal) << c.clicks << " clicks";
    EXPECT_EQ(r->reversed, c.reversed) << c.clicks << " clicks";
    r->handle(FL_RELEASE);
  }
}
