// The keyboard and mouse bindings of a ruler, sent through XTEST to the real binary.
// See LICENSE file for copyright and license details.
#include <gtest/gtest.h> // before Xlib, whose macros (None, Status) clash with it

#include "XServer.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using Mods = std::vector<unsigned long>;

// The gap before a user's next click of a run: tens of milliseconds, inside FLTK's double-click
// interval, which is what makes the clicks one run. It is the behaviour under test, not a wait
// for a state: after a run's first click nothing shows (it only anchors a drag).
void ClickGap() {
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
}

// One pixtape with its first ruler shown, painted and focused, the pointer away from it; on a
// bare X server, or under a desktop's window manager.
class Ruler : public ::testing::Test {
protected:
  explicit Ruler(const std::string &desktop = "")
    : x(1280, 800, desktop) {}

  void SetUp() override {
    if (!x.skipped().empty())
      GTEST_SKIP() << x.skipped();
    screen = x.WorkArea();
    x.MoveTo(640, 600);
    plus_ = x.SpareKeyCode(XK_plus); // before start-up, so pixtape reads the mapping with it
    run = std::make_unique<PixtapeRun>(&x);
    ASSERT_EQ(run->launcher_status(), 0);
    first = run->FirstRuler();
    ASSERT_NE(first, None);
    home = At(first);
    ASSERT_TRUE(x.Focus(first)) << "the ruler did not get the focus";
  }

  void TypePlus(const Mods &mods = {}) { x.KeyCodeTap(plus_, mods); }
  Geometry At(Window w) const { return x.GeometryOf(w); }
  // Waits until w has geometry g.
  ::testing::AssertionResult Becomes(Window w, const Geometry &g) {
    if (x.WaitForGeometry(w, g))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "is " << At(w) << ", not " << g;
  }
  // Waits until n rulers are shown; returns the newest: a client's windows get rising ids, where
  // a window manager may not have raised the newest yet.
  Window Shown(size_t n) {
    std::vector<Window> w = x.WaitForWindows(n);
    EXPECT_EQ(w.size(), n);
    if (x.managed()) // most window managers give a new window the focus, soon after showing it
      x.SettledFocus();
    return w.empty() ? None : *std::max_element(w.begin(), w.end());
  }
  // Waits until the painted ruler has its zero at the given end: its 20 px mark, black, on its
  // first pixel.
  ::testing::AssertionResult ZeroAt(Window w, bool start) {
    EXPECT_TRUE(x.WaitPainted(w));
    if (WaitFor([&] {
          XServer::Image first = x.GrabWindow(w, 0, 0, 1, 1);
          return !first.px.empty() && (first.px[0] == BLACK) == start;
        }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "zero not at the " << (start ? "start" : "end");
  }

  XServer x;
  Geometry screen{}; // as the toolkit reports it: Fl::w() and Fl::h() are its size
  std::unique_ptr<PixtapeRun> run;
  Window first = None;
  Geometry home{}; // where the first ruler was shown

private:
  int plus_ = 0;
};

// The scenarios that a window manager could spoil run on a bare X server and under each desktop.
class OnDesktop : public Ruler, public ::testing::WithParamInterface<std::string> {
protected:
  OnDesktop()
    : Ruler(GetParam()) {}
};

std::string NameOf(const std::string &desktop) {
  return desktop.empty() ? "Xvfb" : desktop;
}

// Every desktop but the bare X server.
std::vector<std::string> Managed() {
  return std::vector<std::string>(Desktops().begin() + 1, Desktops().end());
}

// The first ruler ------------------------------------------------------------------------------

// Where the window manager puts a new window (at the top left without one), undecorated, of a
// size the window manager may not change, and named for window-manager rules.
TEST_P(OnDesktop, TheFirstRulerIsABorderlessFixedStripAsWideAsTheScreen) {
  EXPECT_EQ(home.w, screen.w);
  EXPECT_EQ(home.h, 53);
  if (x.managed()) { // on the screen, but for a border of the window manager's at its edge
    EXPECT_TRUE(home.x >= screen.x && home.x <= screen.x + x.BorderOf(first)) << home;
    EXPECT_TRUE(home.y >= screen.y && home.y + home.h <= screen.y + screen.h) << home;
  } else {
    EXPECT_EQ(home.x, 0);
    EXPECT_EQ(home.y, 0);
  }

  std::vector<long> motif = x.Longs(first, "_MOTIF_WM_HINTS");
  ASSERT_GE(motif.size(), 3u);
  EXPECT_TRUE(motif[0] & 2) << "decorations field not in use"; // MWM_HINTS_DECORATIONS
  EXPECT_EQ(motif[2], 0) << "decorations asked for";
  EXPECT_EQ(x.FrameOf(first), home) << "a frame around it"; // and none given

  // a fixed size, so that no window manager maximizes, tiles or resizes it
  XSizeHints size;
  long supplied;
  ASSERT_TRUE(XGetWMNormalHints(x.display(), first, &size, &supplied));
  EXPECT_TRUE((size.flags & PMinSize) && (size.flags & PMaxSize));
  EXPECT_EQ((Geometry{size.min_width, size.min_height, size.max_width, size.max_height}),
            (Geometry{screen.w, 53, screen.w, 53}));

  // window-manager rules and the desktop entry's StartupWMClass find pixtape by its class
  XClassHint cls;
  ASSERT_TRUE(XGetClassHint(x.display(), first, &cls));
  EXPECT_EQ(std::string(cls.res_name) + "/" + cls.res_class, "pixtape/Pixtape");
  XFree(cls.res_name);
  XFree(cls.res_class);
}

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
  x.Key(XK_minus, {XK_Control_L});
  ASSERT_TRUE(Becomes(first, {0, 0, 1152, 53}));
  TypePlus({XK_Control_L}); // below full width, so that it has something to lengthen
  EXPECT_TRUE(Becomes(first, {0, 0, 1280, 53}));
}

TEST_F(Ruler, ShorteningStopsAt150) {
  for (int i = 0; i < 25; i++)
    x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {0, 0, 150, 53}));
  x.Key(XK_equal);
  EXPECT_TRUE(Becomes(first, {0, 0, 166, 53}));
}

TEST_P(OnDesktop, EachOrientationKeepsItsOwnLength) {
  x.Key(XK_minus);
  ASSERT_TRUE(Becomes(first, {home.x, home.y, screen.w * 9 / 10, 53}));
  x.MoveTo(300, 400);
  x.Key(XK_Up);
  EXPECT_TRUE(Becomes(first, {300, 0, 67, screen.h}));
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {300, 0, 67, screen.h * 9 / 10}));
  x.Key(XK_equal);
  x.Key(XK_equal);
  EXPECT_TRUE(Becomes(first, {300, 0, 67, screen.h})); // capped at the screen's height
  x.MoveTo(200, 250);
  x.Key(XK_Left);
  EXPECT_TRUE(Becomes(first, {0, 250, screen.w * 9 / 10, 53}));
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

// Under a window manager the copies may take the focus: the next key copies from them.
TEST_P(OnDesktop, ShiftCCtrlCAndTheMiddleButtonCopyToo) {
  x.MoveTo(700, 100);
  x.Key(XK_c, {XK_Shift_L});
  EXPECT_TRUE(Becomes(Shown(2), {0, 100, screen.w, 53}));
  x.MoveTo(700, 200);
  x.Key(XK_c, {XK_Control_L});
  EXPECT_TRUE(Becomes(Shown(3), {0, 200, screen.w, 53}));
  x.Focus(first); // as a user clicks before a key, whatever a window manager does with a click
  x.MoveTo(700, home.y + 30); // over the first ruler
  x.Click(2);
  EXPECT_TRUE(Becomes(Shown(4), {0, home.y + 30, screen.w, 53}));
}

// Closing and quitting -------------------------------------------------------------------------

class Close
  : public Ruler,
    public ::testing::WithParamInterface<std::tuple<std::string, std::pair<unsigned long, Mods>>> {
protected:
  Close()
    : Ruler(std::get<0>(GetParam())) {}
  void Press() { x.Key(std::get<1>(GetParam()).first, std::get<1>(GetParam()).second); }
};

TEST_P(Close, ClosesOneRulerAndTheLastEndsTheProgramWithZero) {
  x.MoveTo(600, 400);
  x.Key(XK_c);
  Window copy = Shown(2);
  ASSERT_TRUE(Becomes(copy, {0, 400, screen.w, 53}));
  x.Focus(first); // a window manager may have given the new copy the focus
  Press();        // closes the first ruler; the copy goes on working
  EXPECT_EQ(x.WaitForWindows(1), std::vector<Window>{copy});
  x.Focus(copy);
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(copy, {0, 400, screen.w * 9 / 10, 53}));
  EXPECT_TRUE(run->Running());
  Press();
  EXPECT_EQ(run->WaitExit(), 0);
}

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

class Quit : public Ruler, public ::testing::WithParamInterface<std::tuple<std::string, Mods>> {
protected:
  Quit()
    : Ruler(std::get<0>(GetParam())) {}
};

TEST_P(Quit, QEndsEveryRulerWithStatusOne) {
  x.MoveTo(600, 400);
  x.Key(XK_c);
  Shown(2);
  x.Key(XK_q, std::get<1>(GetParam()));
  EXPECT_EQ(run->WaitExit(), 1);
  EXPECT_TRUE(x.WaitForWindows(0).empty());
}

// The mouse ------------------------------------------------------------------------------------

// Shortened first: most window managers keep a window that fits on the screen on it.
TEST_P(OnDesktop, DraggingKeepsTheGrabbedPointUnderThePointer) {
  const int top = home.y, len = screen.w * 9 / 10 * 9 / 10;
  x.Key(XK_minus);
  x.Key(XK_minus);
  ASSERT_TRUE(Becomes(first, {home.x, top, len, 53}));
  x.MoveTo(100, top + 20);
  x.Button(1, true);
  x.MoveTo(130, top + 45); // a step that stays on the ruler
  ASSERT_TRUE(Becomes(first, {home.x + 30, top + 25, len, 53}));
  for (int i = 1; i <= 25; i++) // a long way in quick steps to (330, 670), let go at once
    x.MoveTo(130 + 8 * i, top + 45 + (625 - top) * i / 25);
  x.Button(1, false);
  EXPECT_TRUE(Becomes(first, {home.x + 230, 650, len, 53}));
  x.MoveTo(900, 100);
  x.Key(XK_minus);
  EXPECT_TRUE(Becomes(first, {home.x + 230, 650, len * 9 / 10, 53})); // the release left it there
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
  }
}

TEST_P(OnDesktop, ATurnedRulerFollowsTheHeldButtonWithoutAJump) {
  x.MoveTo(300, home.y + 20);
  x.Click(1);
  ClickGap();
  x.Click(1);
  ASSERT_TRUE(ZeroAt(first, false));
  x.Button(1, true); // third press: turned vertical, through the pointer
  ASSERT_TRUE(Becomes(first, {300, 0, 67, screen.h}));
  x.MoveTo(350, home.y + 20); // sideways, as a screen-high ruler stays on the screen
  EXPECT_TRUE(Becomes(first, {350, 0, 67, screen.h}));
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

// Under each desktop ----------------------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(Desktops, OnDesktop, ::testing::ValuesIn(Desktops()),
                         [](const auto &info) { return NameOf(info.param); });

INSTANTIATE_TEST_SUITE_P(
    Keys, Close,
    ::testing::Combine(::testing::Values(""),
                       ::testing::Values(std::make_pair(XK_Escape, Mods{}),
                                         std::make_pair(XK_w, Mods{XK_Control_L}),
                                         std::make_pair(XK_x, Mods{XK_Control_L}))));
INSTANTIATE_TEST_SUITE_P(Desktops, Close,
                         ::testing::Combine(::testing::ValuesIn(Managed()),
                                            ::testing::Values(std::make_pair(XK_Escape, Mods{}))),
                         [](const auto &info) { return NameOf(std::get<0>(info.param)); });

INSTANTIATE_TEST_SUITE_P(Modifiers, Quit,
                         ::testing::Combine(::testing::Values(""),
                                            ::testing::Values(Mods{}, Mods{XK_Shift_L},
                                                              Mods{XK_Control_L}, Mods{XK_Alt_L})));
INSTANTIATE_TEST_SUITE_P(Desktops, Quit,
                         ::testing::Combine(::testing::ValuesIn(Managed()),
                                            ::testing::Values(Mods{})),
                         [](const auto &info) { return NameOf(std::get<0>(info.param)); });

} // namespace
