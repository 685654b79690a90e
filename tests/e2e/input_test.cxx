// The keyboard and mouse bindings of a ruler, sent through XTEST to the real binary.
// See LICENSE file for copyright and license details.
#include <gtest/gtest.h> // before Xlib, whose macros (None, Status) clash with it

#include "XServer.h"

#include <X11/keysym.h>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using Mods = std::vector<unsigned long>;

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One pixtape with its first ruler shown, painted and focused, the pointer away from it.
class Ruler : public ::testing::Test {
protected:
  void SetUp() override {
    x.MoveTo(640, 600);
    plus_ = x.SpareKeyCode(XK_plus); // before start-up, so pixtape reads the mapping with it
    run = std::make_unique<PixtapeRun>(&x);
    ASSERT_EQ(run->launcher_status(), 0);
    first = run->FirstRuler();
    ASSERT_NE(first, None);
    x.Focus(first);
  }

  void TypePlus(const Mods &mods = {}) { x.KeyCodeTap(plus_, mods); }
  Geometry At(Window w) const { return x.GeometryOf(w); }
  // Waits until w has geometry g.
  ::testing::AssertionResult Becomes(Window w, const Geometry &g) {
    if (x.WaitForGeometry(w, g))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "is " << At(w) << ", not " << g;
  }
  // Waits until n rulers are shown; returns the newest (topmost).
  Window Shown(size_t n) {
    std::vector<Window> w = x.WaitForWindows(n);
    EXPECT_EQ(w.size(), n);
    return w.empty() ? None : w.back();
  }
  // Whether distance 0 of a painted ruler lies at its left or top end (its 20 px mark there).
  bool ZeroAtStart(Window w) {
    EXPECT_TRUE(x.WaitPainted(w));
    Geometry g = At(w);
    return x.Pixel(g.x, g.y) == BLACK;
  }
  // Waits until the painted ruler has its zero at the given end.
  ::testing::AssertionResult ZeroAt(Window w, bool start) {
    if (WaitFor([&] { return ZeroAtStart(w) == start; }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "zero not at the " << (start ? "start" : "end");
  }

  XServer x;
  std::unique_ptr<PixtapeRun> run;
  Window first = None;

private:
  int plus_ = 0;
};

// Lengthening and shortening ------------------------------------------------------------------

TEST_F(Ruler, MinusAndKeypadMinusShortenByATenthWhateverNumLock) {
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {0, 0, 1152, 53}));
  ASSERT_FALSE(x.NumLockOn());
  x.Key(XK_KP_Subtract);
  EXPECT_TRUE(Becomes(first, {0, 0, 1036, 53}));
  x.Key(XK_Num_Lock);
  ASSERT_TRUE(WaitFor([&] { return x.NumLockOn(); }));
  x.Key(XK_KP_Subtract);
  EXPECT_TRUE(Becomes(first, {0, 0, 932, 53}));
}

TEST_F(Ruler, PlusEqualsAndKeypadPlusLengthenByANinthUpToTheScreen) {
  for (int i = 0; i < 4; i++)
    x.Key(XK_minus);
  ASSERT_TRUE(Becomes(first, {0, 0, 838, 53})); // 1280 1152 1036 932 838
  x.Key(XK_equal);
  EXPECT_TRUE(Becomes(first, {0, 0, 931, 53}));
  TypePlus();
  EXPECT_TRUE(Becomes(first, {0, 0, 1034, 53}));
  x.Key(XK_KP_Add); // Num Lock off
  EXPECT_TRUE(Becomes(first, {0, 0, 1148, 53}));
  x.Key(XK_Num_Lock);
  ASSERT_TRUE(WaitFor([&] { return x.NumLockOn(); }));
  x.Key(XK_KP_Add);
  EXPECT_TRUE(Becomes(first, {0, 0, 1275, 53}));
  x.Key(XK_equal, {XK_Shift_L}); // what a US keyboard sends for '+'
  EXPECT_TRUE(Becomes(first, {0, 0, 1280, 53}));
  x.Key(XK_equal);
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {0, 0, 1152, 53})); // 1280 stayed 1280
}

TEST_F(Ruler, CtrlPlusAndCtrlMinusResizeTheRulerNotTheToolkitScale) {
  x.Key(XK_minus, {XK_Control_L});
  EXPECT_TRUE(Becomes(first, {0, 0, 1152, 53}));
  x.Key(XK_equal, {XK_Control_L});
  EXPECT_TRUE(Becomes(first, {0, 0, 1280, 53}));
  TypePlus({XK_Control_L});
  x.Key(XK_minus, {XK_Control_L});
  EXPECT_TRUE(Becomes(first, {0, 0, 1152, 53}));
}

TEST_F(Ruler, ShorteningStopsAt150) {
  for (int i = 0; i < 25; i++)
    x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {0, 0, 150, 53}));
  x.Key(XK_equal);
  EXPECT_TRUE(Becomes(first, {0, 0, 166, 53}));
}

TEST_F(Ruler, EachOrientationKeepsItsOwnLength) {
  x.Key(XK_minus);
  ASSERT_TRUE(Becomes(first, {0, 0, 1152, 53}));
  x.MoveTo(300, 400);
  x.Key(XK_Up);
  EXPECT_TRUE(Becomes(first, {300, 0, 67, 800}));
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {300, 0, 67, 720}));
  x.Key(XK_equal);
  x.Key(XK_equal);
  EXPECT_TRUE(Becomes(first, {300, 0, 67, 800})); // capped at the screen's height
  x.MoveTo(200, 250);
  x.Key(XK_Left);
  EXPECT_TRUE(Becomes(first, {0, 250, 1152, 53}));
}

// Arrow keys -----------------------------------------------------------------------------------

TEST_F(Ruler, ArrowsPlaceTheRulerAgainstAnEdgeWithItsZeroAtTheArrow) {
  struct {
    unsigned long key;
    Geometry at;
    bool zero_at_start;
  } cases[] = {
      {XK_Right, {0, 300, 1280, 53}, false},
      {XK_Down, {500, 0, 67, 800}, false},
      {XK_Left, {0, 300, 1280, 53}, true},
      {XK_Up, {500, 0, 67, 800}, true},
  };
  x.MoveTo(500, 300);
  for (auto c : cases) {
    x.Key(c.key);
    EXPECT_TRUE(Becomes(first, c.at)) << XKeysymToString(c.key);
    EXPECT_TRUE(ZeroAt(first, c.zero_at_start)) << XKeysymToString(c.key);
  }
}

// Copies ---------------------------------------------------------------------------------------

TEST_F(Ruler, CopiesComeOutThroughThePointerAtFullLengthKeepingDirection) {
  x.Key(XK_minus); // the copy does not take the source's length
  x.MoveTo(500, 300);
  x.Key(XK_Right);
  ASSERT_TRUE(Becomes(first, {0, 300, 1152, 53}));
  x.Key(XK_c);
  Window copy = Shown(2);
  EXPECT_TRUE(Becomes(copy, {0, 300, 1280, 53}));
  EXPECT_TRUE(ZeroAt(copy, false));

  x.MoveTo(200, 300);
  x.Key(XK_Up);
  ASSERT_TRUE(Becomes(first, {200, 0, 67, 800}));
  x.MoveTo(500, 300);
  x.Key(XK_c);
  Window vcopy = Shown(3);
  EXPECT_TRUE(Becomes(vcopy, {500, 0, 67, 800}));
  EXPECT_TRUE(ZeroAt(vcopy, true));
}

TEST_F(Ruler, ShiftCCtrlCAndTheMiddleButtonCopyToo) {
  x.MoveTo(700, 100);
  x.Key(XK_c, {XK_Shift_L});
  EXPECT_TRUE(Becomes(Shown(2), {0, 100, 1280, 53}));
  x.MoveTo(700, 200);
  x.Key(XK_c, {XK_Control_L});
  EXPECT_TRUE(Becomes(Shown(3), {0, 200, 1280, 53}));
  x.MoveTo(700, 30); // over the first ruler
  x.Click(2);
  EXPECT_TRUE(Becomes(Shown(4), {0, 30, 1280, 53}));
}

// Closing and quitting -------------------------------------------------------------------------

class Close : public Ruler, public ::testing::WithParamInterface<std::pair<unsigned long, Mods>> {
protected:
  void Press() { x.Key(GetParam().first, GetParam().second); }
};

TEST_P(Close, ClosesOneRulerAndTheLastEndsTheProgramWithZero) {
  x.MoveTo(600, 400);
  x.Key(XK_c);
  Window copy = Shown(2);
  ASSERT_TRUE(Becomes(copy, {0, 400, 1280, 53}));
  Press(); // closes the first ruler; the copy goes on working
  EXPECT_EQ(x.WaitForWindows(1), std::vector<Window>{copy});
  x.Focus(copy);
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(copy, {0, 400, 1152, 53}));
  EXPECT_TRUE(run->Running());
  Press();
  EXPECT_EQ(run->WaitExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, Close,
                         ::testing::Values(std::make_pair(XK_Escape, Mods{}),
                                           std::make_pair(XK_w, Mods{XK_Control_L}),
                                           std::make_pair(XK_x, Mods{XK_Control_L})));

TEST_F(Ruler, ClosedCopiesDoNotKeepTheProgramRunning) {
  x.MoveTo(600, 400);
  x.Key(XK_c);
  Window copy = Shown(2);
  ASSERT_TRUE(x.WaitPainted(copy));
  x.Focus(copy);
  x.Key(XK_w, {XK_Control_L});
  ASSERT_EQ(x.WaitForWindows(1), std::vector<Window>{first});
  x.Focus(first);
  x.Key(XK_x, {XK_Control_L});
  EXPECT_EQ(run->WaitExit(), 0);
}

TEST_F(Ruler, WAndXWithoutCtrlDoNothing) {
  x.Key(XK_w);
  x.Key(XK_x);
  x.Key(XK_w, {XK_Shift_L});
  x.Key(XK_minus); // once this shows, the keys before it have been handled
  EXPECT_TRUE(Becomes(first, {0, 0, 1152, 53}));
  EXPECT_EQ(x.Windows(), std::vector<Window>{first});
  EXPECT_TRUE(run->Running());
}

class Quit : public Ruler, public ::testing::WithParamInterface<Mods> {};

TEST_P(Quit, QEndsEveryRulerWithStatusOne) {
  x.MoveTo(600, 400);
  x.Key(XK_c);
  Shown(2);
  x.Key(XK_q, GetParam());
  EXPECT_EQ(run->WaitExit(), 1);
  EXPECT_TRUE(x.WaitForWindows(0).empty());
}

INSTANTIATE_TEST_SUITE_P(Modifiers, Quit,
                         ::testing::Values(Mods{}, Mods{XK_Shift_L}, Mods{XK_Control_L},
                                           Mods{XK_Alt_L}));

// The mouse ------------------------------------------------------------------------------------

TEST_F(Ruler, DraggingKeepsTheGrabbedPointUnderThePointer) {
  x.MoveTo(100, 20);
  x.Button(1, true);
  x.MoveTo(130, 45); // a step that stays on the ruler
  ASSERT_TRUE(Becomes(first, {30, 25, 1280, 53}));
  for (int i = 1; i <= 25; i++) // a long way in quick steps, let go at once
    x.MoveTo(130 + 20 * i, 45 + 25 * i);
  x.Button(1, false);
  EXPECT_TRUE(Becomes(first, {530, 650, 1280, 53}));
  x.MoveTo(900, 100);
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {530, 650, 1152, 53})); // the release left it there
}

// A right press or any unbound key ends a drag in progress and does nothing else.
class DragEnd : public Ruler, public ::testing::WithParamInterface<int> {};

TEST_P(DragEnd, StopsTheRulerFollowingThePointer) {
  x.MoveTo(100, 20);
  x.Button(1, true);
  x.MoveTo(110, 50);
  ASSERT_TRUE(Becomes(first, {10, 30, 1280, 53}));
  if (GetParam() == 0)
    x.Click(3);
  else
    x.Key(XK_k);
  x.MoveTo(200, 300);
  x.Button(1, false);
  x.Key(XK_minus); // once this shows, the motion before it has been handled
  EXPECT_TRUE(Becomes(first, {10, 30, 1152, 53}));
  EXPECT_TRUE(ZeroAt(first, true));
  EXPECT_EQ(x.Windows().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(RightButtonOrUnboundKey, DragEnd, ::testing::Values(0, 1));

TEST_F(Ruler, ARunOfClicksReversesTurnsReversesAndTurnsBack) {
  x.MoveTo(300, 20);
  struct {
    Geometry at;
    bool zero_at_start;
  } after[] = {
      {{0, 0, 1280, 53}, true},   // 1: only anchors a drag
      {{0, 0, 1280, 53}, false},  // 2: reversed
      {{300, 0, 67, 800}, true},  // 3: turned, zero at the start
      {{300, 0, 67, 800}, false}, // 4: reversed
      {{0, 20, 1280, 53}, false}, // 5: turned back, zero at the far end
      {{0, 20, 1280, 53}, false}, // 6 and later: only drag
      {{0, 20, 1280, 53}, false},
  };
  int n = 0;
  for (auto a : after) {
    n++;
    x.Click(1);
    EXPECT_TRUE(Becomes(first, a.at)) << "after click " << n;
    EXPECT_TRUE(ZeroAt(first, a.zero_at_start)) << "after click " << n;
    Pause(40);
  }
}

TEST_F(Ruler, ATurnedRulerFollowsTheHeldButtonWithoutAJump) {
  x.MoveTo(300, 20);
  x.Click(1);
  Pause(40);
  x.Click(1);
  ASSERT_TRUE(ZeroAt(first, false));
  Pause(40);
  x.Button(1, true); // third press: turned vertical, through the pointer
  ASSERT_TRUE(Becomes(first, {300, 0, 67, 800}));
  x.MoveTo(350, 120);
  EXPECT_TRUE(Becomes(first, {350, 100, 67, 800}));
  x.Button(1, false);
}

TEST_F(Ruler, UnboundButtonsAndKeysChangeNothing) {
  x.MoveTo(300, 20);
  for (unsigned b : {3u, 4u, 5u})
    x.Click(b);
  for (unsigned long k : {XK_a, XK_z, XK_space, XK_Return, XK_F1, XK_Tab, XK_0})
    x.Key(k);
  x.Key(XK_0, {XK_Control_L}); // FLTK 1.4 would reset its scaling with this
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {0, 0, 1152, 53}));
  EXPECT_TRUE(ZeroAt(first, true));
  EXPECT_EQ(x.Windows().size(), 1u);
}

} // namespace
