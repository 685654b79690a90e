// What a painted ruler looks like on a real X server: exact marks, labels where they belong.
// Glyph shapes depend on the fonts installed, so labels are checked only as dark pixels in boxes.
// See LICENSE file for copyright and license details.
#include "WindowTest.h"

#include <functional>

using Pixels = WindowTest;

namespace {

// A ruler's pixels seen along its length: p(along, across) with along 0 at the window's left or
// top, across 0 at its top or left edge.
struct RulerView {
  const XServer::Image &img;
  int horizontal;
  int len() const { return horizontal ? img.w : img.h; }
  int thick() const { return horizontal ? img.h : img.w; }
  unsigned long p(int along, int across) const {
    return horizontal ? img.px[across * img.w + along] : img.px[along * img.w + across];
  }
};

int MarkLength(int d) {
  return d % 50 == 0 ? 20 : d % 10 == 0 ? 10 : 5;
}

// Checks every mark and every gap between marks, on both long edges.
void ExpectMarks(const RulerView &v, int reversed) {
  const int len = v.len(), last = v.thick() - 1;
  int faults = 0;
  for (int a = 0; a < len && faults < 10; a++) {
    const int d = reversed ? len - 1 - a : a;
    if (d % 2) {
      for (int c = 0; c <= 9; c++) { // no label reaches this near an edge
        if (v.p(a, c) != ORANGE || v.p(a, last - c) != ORANGE) {
          ADD_FAILURE() << "not background between marks at along " << a << ", across " << c;
          faults++;
          break;
        }
      }
      continue;
    }
    const int t = MarkLength(d);
    for (int c = 0; c <= t; c++) {
      if (v.p(a, c) != BLACK || v.p(a, last - c) != BLACK) {
        ADD_FAILURE() << "mark of " << d << " (length " << t << ") broken at along " << a << ", "
                      << c << " in from an edge";
        faults++;
        break;
      }
    }
    if (v.p(a, t + 1) != ORANGE || v.p(a, last - t - 1) != ORANGE) {
      ADD_FAILURE() << "mark of " << d << " longer than " << t << " at along " << a;
      faults++;
    }
  }
}

int DarkIn(const RulerView &v, int a0, int a1, int c0, int c1) {
  int dark = 0;
  for (int a = a0; a <= a1; a++)
    for (int c = c0; c <= c1; c++)
      dark += a >= 0 && a < v.len() && v.p(a, c) != ORANGE;
  return dark;
}

// Numbers on the middle line at every 50, tens digits by both edges at the other tens, and
// nothing in the label rows between them.
void ExpectLabels(const RulerView &v, int reversed) {
  const int t = v.thick(), mid = (t - 1) / 2;
  for (int d = 10; d < v.len() - 12; d += 10) {
    const int a = reversed ? v.len() - 1 - d : d;
    if (d % 50 == 0) {
      EXPECT_GT(DarkIn(v, a - 10, a + 10, mid - 3, mid + 3), 0) << "no number at " << d;
    } else {
      EXPECT_GT(DarkIn(v, a - 3, a + 3, 12, 18), 0) << "no near digit at " << d;
      EXPECT_GT(DarkIn(v, a - 3, a + 3, t - 21, t - 15), 0) << "no far digit at " << d;
    }
    if (d % 50 >= 10 && d % 50 <= 30) { // the gap after a digit, before the next label
      const int g = reversed ? a - 5 : a + 5;
      EXPECT_EQ(DarkIn(v, g - 1, g + 1, 11, t - 12), 0) << "stray ink after " << d;
    }
  }
}

} // namespace

TEST_F(Pixels, MarksAndLabelsInEitherOrientationAndDirection) {
  for (int horizontal : {1, 0}) {
    PointerAt(300, 100);
    RulerWindow *r = Ruler(300, 100, 1, 1, horizontal, 0);
    for (int reversed : {0, 1}) {
      r->reversed = reversed;
      r->redraw();
      XServer::Image img = Painted(r);
      ASSERT_EQ(img.w, horizontal ? 1280 : 67);
      ASSERT_EQ(img.h, horizontal ? 53 : 800);
      RulerView v{img, horizontal};
      ExpectMarks(v, reversed);
      ExpectLabels(v, reversed);
    }
    r->hide(); // out of the way of the next one
  }
}

TEST_F(Pixels, OddLengthsPutTheLastMarkOnTheLastPixel) {
  PointerAt(0, 200);
  RulerWindow *r = Ruler(0, 200, 1, 1, 1, 1);
  r->resize(0, 200, 301, HORIZ_THICKNESS);
  XServer::Image img = Painted(r);
  RulerView v{img, 1};
  ExpectMarks(v, 1);
  EXPECT_EQ(img.at(0, 200), BLACK);   // distance 300, reversed, lies on column 0
  EXPECT_EQ(img.at(300, 200), BLACK); // distance 0 on the last column
  EXPECT_EQ(img.at(300, 220), BLACK); // its 20 px mark
}

// A ruler painted from scratch at every draw, as it would be without kept pictures.
class Unkept : public Fl_Double_Window {
public:
  Unkept(int X, int Y, int W, int H, int horizontal, int reversed)
    : Fl_Double_Window(X, Y, W, H)
    , horizontal(horizontal)
    , reversed(reversed) {
    end();
    border(0);
    show();
  }
  void draw() override {
    FltkPen pen;
    RulerWindow::Paint(pen, w(), h(), horizontal, reversed);
  }
  int horizontal, reversed;
};

// Turned, reversed, shortened and lengthened, and back: a ruler at a look it had before shows
// the pixels it showed then, and a fresh ruler with that look shows them too; whether its picture
// was kept or painted anew, it shows what a ruler painted from scratch shows.
TEST_F(Pixels, ARulerBackAtAnEarlierLookShowsTheSamePixels) {
  if (const char *scale = getenv("PIXTAPE_TEST_SCALE")) {
    ASSERT_EQ(Scale(), atof(scale)) << "FLTK draws at another scale";
  }
  PointerAt(0, 0);
  RulerWindow *r = Ruler(0, 0, 1, 1, 1, 0);
  const int wide = r->horiz_len, high = r->vert_len, shorter = RulerWindow::Shrunk(wide);
  struct Look {
    int horizontal, reversed, len;
  };
  // six looks, more than are kept: some come back kept, some painted anew
  const Look tour[] = {{1, 0, wide},    {1, 1, wide},    {0, 1, high}, {0, 0, high},
                       {1, 0, shorter}, {1, 1, shorter}, {1, 0, wide}, {0, 1, high},
                       {1, 1, shorter}, {1, 1, wide},    {0, 0, high}};
  auto show = [&](RulerWindow *ruler, const Look &l) {
    (l.horizontal ? ruler->horiz_len : ruler->vert_len) = l.len;
    ruler->SetOrientation(l.horizontal, 0, 0);
    ruler->reversed = l.reversed;
    ruler->redraw();
    return Painted(ruler);
  };
  // beside the ruler at (0, 0), below a horizontal one or right of a vertical one
  auto unkept = [&](const Look &l) {
    Unkept u(l.horizontal ? 0 : 100, l.horizontal ? 100 : 0, l.horizontal ? l.len : 67,
             l.horizontal ? 53 : l.len, l.horizontal, l.reversed);
    XServer::Image img = Painted(&u);
    u.hide();
    return img;
  };
  std::vector<std::pair<Look, XServer::Image>> seen;
  for (const Look &l : tour) {
    XServer::Image img = show(r, l);
    EXPECT_TRUE(img.px == unkept(l).px) << "at " << l.horizontal << l.reversed << l.len;
    bool again = false;
    for (auto &s : seen) {
      const Look &k = s.first;
      if (k.horizontal == l.horizontal && k.reversed == l.reversed && k.len == l.len) {
        EXPECT_TRUE(img.px == s.second.px) << "back at " << l.horizontal << l.reversed << l.len;
        again = true;
      } else {
        EXPECT_FALSE(img.px == s.second.px) << "two looks show the same pixels";
      }
    }
    if (!again)
      seen.emplace_back(l, img);
  }
  r->hide();
  for (auto &s : seen) {
    RulerWindow *fresh = Ruler(0, 0, 1, 1, s.first.horizontal, s.first.reversed);
    EXPECT_TRUE(show(fresh, s.first).px == s.second.px)
        << "fresh " << s.first.horizontal << s.first.reversed << s.first.len;
    fresh->hide();
  }
}
