// pixtape under stress: random input, random command lines, a lost display, many rulers, and
// valgrind's memcheck.
// See LICENSE file for copyright and license details.
#include <gtest/gtest.h> // before Xlib, whose macros (None, Status) clash with it

#include "XServer.h"

#include <X11/keysym.h>
#include <csignal>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>
#include <chrono>

namespace {

using Mods = std::vector<unsigned long>;

// The number a random test starts its generator from; PIXTAPE_FUZZ_SEED=N replays a failing run.
unsigned RandomStart(const char *test) {
  const char *env = getenv("PIXTAPE_FUZZ_SEED");
  unsigned start = env ? static_cast<unsigned>(strtoul(env, nullptr, 10)) : std::random_device{}();
  printf("%s: PIXTAPE_FUZZ_SEED=%u\n", test, start);
  ::testing::Test::RecordProperty("PIXTAPE_FUZZ_SEED", std::to_string(start));
  return start;
}

// The sizes a ruler may have: the thickness of its orientation, and a length from 150 up to
// the screen.
::testing::AssertionResult AllowedSize(const Geometry &g) {
  if (g.h == 53 && g.w >= 150 && g.w <= 1280)
    return ::testing::AssertionSuccess();
  if (g.w == 67 && g.h >= 150 && g.h <= 800)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "a ruler of " << g;
}

TEST(Fuzz, RandomInputNeverBreaksARuler) {
  std::mt19937 rng(RandomStart("Fuzz.RandomInputNeverBreaksARuler"));
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  XServer x;
  int plus = x.SpareKeyCode(XK_plus);
  const unsigned long bound[] = {XK_c,     XK_Left,   XK_Right,       XK_Up, XK_Down, XK_equal,
                                 XK_minus, XK_KP_Add, XK_KP_Subtract, XK_w,  XK_x};
  const unsigned long unbound[] = {XK_a,  XK_z,   XK_1,         XK_space, XK_Return,
                                   XK_F5, XK_Tab, XK_BackSpace, XK_Home,  XK_slash};
  const unsigned long modifiers[] = {XK_Shift_L, XK_Control_L, XK_Alt_L};
  const int total = 5000;
  int events = 0, runs = 0;
  while (events < total) {
    PixtapeRun run(&x);
    ASSERT_EQ(run.launcher_status(), 0);
    Window first = run.FirstRuler();
    ASSERT_NE(first, None);
    runs++;
    x.Focus(first);
    bool closed = false, quit = false; // whether a close or a quit key has been sent
    while (events < total && run.Running()) {
      int what = pick(100);
      if (what < 25) { // pointer motion
        x.MoveTo(pick(1280), pick(800));
        events++;
      } else if (what < 35) { // a run of left clicks
        for (int n = 1 + pick(6); n > 0; n--, events += 2)
          x.Click(1);
      } else if (what < 43) { // a drag
        x.Button(1, true);
        for (int n = 1 + pick(8); n > 0; n--, events++)
          x.MoveTo(pick(1280), pick(800));
        x.Button(1, false);
        events += 2;
      } else if (what < 50) { // another button; the middle one copies
        unsigned b = 2 + pick(4);
        if (b == 2 && x.TopLevel().size() > 25)
          b = 3;
        x.Click(b);
        events += 2;
      } else if (what < 94) { // a key, with modifiers at random
        Mods mods;
        for (unsigned long m : modifiers)
          if (pick(4) == 0)
            mods.push_back(m);
        bool ctrl = std::find(mods.begin(), mods.end(), XK_Control_L) != mods.end();
        int k = pick(20);
        if (k < 11) {
          unsigned long key = bound[k];
          if (key == XK_c && x.TopLevel().size() > 25)
            key = XK_minus;
          if ((key == XK_w || key == XK_x) && ctrl && pick(8) != 0)
            key = XK_equal; // closes now and then, not at every other key
          closed = closed || ((key == XK_w || key == XK_x) && ctrl);
          x.Key(key, mods);
        } else if (k < 12) {
          x.KeyCodeTap(plus, mods);
        } else if (k < 13 && pick(10) == 0) {
          x.Key(XK_Escape, mods);
          closed = true;
        } else if (k < 14 && pick(30) == 0) {
          x.Key(XK_q, mods);
          quit = true;
        } else if (k < 15) {
          x.Key(XK_Num_Lock);
        } else {
          x.Key(unbound[pick(10)], mods);
        }
        events += 2 + 2 * static_cast<int>(mods.size());
      } else { // focus some ruler, as a click of the window manager would
        std::vector<Window> shown = x.Windows();
        if (!shown.empty())
          x.Focus(shown[pick(static_cast<int>(shown.size()))]);
      }
      if (events % 10 < 3) // a user's pace, now and then, rather than one long burst
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (events % 50 < 3) {
        for (Window w : x.Windows()) {
          Geometry g = x.GeometryOf(w);
          if (g.w >= 0) { // not closed since it was listed
            ASSERT_TRUE(AllowedSize(g)) << "after " << events << " events";
          }
        }
      }
    }
    if (run.Running()) {
      // a close since the last focus change leaves no ruler with the focus, and keys unread
      std::vector<Window> shown = x.Windows();
      if (!shown.empty())
        x.Focus(shown.back());
      x.Key(XK_q);
      quit = true;
    }
    int status = run.WaitExit();
    if (status == 1)
      EXPECT_TRUE(quit) << "ended with 1 without a quit key";
    else if (status == 0)
      EXPECT_TRUE(closed) << "ended with 0 without a close key";
    else
      ADD_FAILURE() << "ended with status " << status;
    EXPECT_EQ(run.Stderr(), "") << "after " << events << " events";
    ASSERT_TRUE(x.WaitForWindows(0).empty());
  }
  printf("%d events in %d runs of pixtape\n", events, runs);
}

// Launches with random command lines; each is three to four times slower under AddressSanitizer.
#ifdef PIXTAPE_SANITIZED
const int LAUNCHES = 200;
#else
const int LAUNCHES = 600;
#endif

TEST(Fuzz, OnlyArgumentsBeginningWithDashHAskForHelp) {
  std::mt19937 rng(RandomStart("Fuzz.OnlyArgumentsBeginningWithDashHAskForHelp"));
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  XServer x;
  PixtapeRun reference(nullptr, {"-h"});
  const std::string help = reference.Stderr();
  ASSERT_EQ(reference.launcher_status(), 1);
  const char *fixed[] = {"", "-", "-h", "-help", "-hx", "--help", "-H", "h", "--", "-x", " -h"};
  auto argument = [&]() {
    std::string a;
    switch (pick(6)) {
      case 0:
        return std::string(fixed[pick(11)]);
      case 1: // bytes of every kind but NUL, invalid UTF-8 included
        for (int n = pick(12); n > 0; n--)
          a += static_cast<char>(1 + pick(255));
        return a;
      case 2: // long, up to the kernel's limit on one argument
        return std::string(1 + pick(100000), "-ha"[pick(3)]);
      case 3:
        return std::string("-h") + static_cast<char>(1 + pick(255));
      case 4:
        return std::string("-") + static_cast<char>(1 + pick(255)) + "h";
      default:
        return std::string("\xff\xfe-h");
    }
  };
  for (int i = 0; i < LAUNCHES; i++) {
    std::vector<std::string> args;
    int n = pick(20) == 0 ? 1000 + pick(3000) : pick(6);
    bool wants_help = false;
    size_t size = 0;
    for (int j = 0; j < n; j++) {
      args.push_back(argument());
      if ((size += args.back().size()) > 1000000) // the kernel's limit on all arguments is 2 MB
        args.back().resize(1);
      wants_help = wants_help || args.back().rfind("-h", 0) == 0;
    }
    std::ostringstream shown;
    for (size_t j = 0; j < args.size() && j < 4; j++)
      shown << "[" << args[j].substr(0, 16) << "] ";
    if (wants_help) {
      PixtapeRun run(nullptr, args);
      ASSERT_EQ(run.launcher_status(), 1) << shown.str();
      ASSERT_EQ(run.Stderr(), help) << shown.str();
    } else {
      PixtapeRun run(&x, args);
      ASSERT_EQ(run.launcher_status(), 0) << shown.str();
      ASSERT_NE(run.FirstRuler(), None) << shown.str();
      kill(run.ruler_pid(), SIGTERM);
      run.WaitExit();
      ASSERT_TRUE(x.WaitForWindows(0).empty());
    }
  }
}

TEST(LostDisplay, TheRulerProcessEndsWithAFailure) {
  auto x = std::make_unique<XServer>();
  PixtapeRun run(x.get());
  Window first = run.FirstRuler();
  ASSERT_NE(first, None);
  x->Kill();
  int status = run.WaitExit();
  EXPECT_NE(status, -1) << "still running after its display went";
  EXPECT_NE(status, 0);
}

TEST(ManyRulers, FiveHundredCopiesAppearAndCloseOneByOne) {
  XServer x;
  PixtapeRun run(&x);
  Window first = run.FirstRuler();
  ASSERT_NE(first, None);
  x.Focus(first);
  const pid_t pid = run.ruler_pid();
  const long before = ResidentBytes(pid);
  const size_t base = x.TopLevel().size();
  const int copies = 500;
  for (int i = 1; i <= copies; i++) {
    x.MoveTo(600, 60 + i % 700);
    x.Key(XK_c);
    ASSERT_TRUE(WaitFor([&] { return x.TopLevel().size() == base + i; })) << "copy " << i;
  }
  std::vector<Window> shown = x.WaitForWindows(copies + 1, 10000);
  ASSERT_EQ(shown.size(), static_cast<size_t>(copies + 1));
  const long with_copies = ResidentBytes(pid);
  for (Window w : shown) {
    if (w == first)
      continue;
    x.Focus(w);
    x.Key(XK_Escape);
    ASSERT_TRUE(WaitFor([&] { return x.GeometryOf(w).w < 0; })) << "a copy did not close";
  }
  const long closed = ResidentBytes(pid);
  EXPECT_TRUE(run.Running());
  x.Focus(first);
  x.Key(XK_Escape);
  EXPECT_EQ(run.WaitExit(), 0);
  printf("resident: %ld KiB with one ruler, %ld KiB with %d copies, %ld KiB after closing them: "
         "%ld bytes kept per closed copy\n",
         before / 1024, with_copies / 1024, copies, closed / 1024, (closed - before) / copies);
  RecordProperty("bytes_per_closed_copy", std::to_string((closed - before) / copies));
}

TEST(Memcheck, AScriptedSessionHasNoInvalidAccessInPixtapesCode) {
#ifdef PIXTAPE_SANITIZED
  GTEST_SKIP() << "valgrind cannot run a sanitized binary";
#else
  XServer x;
  char dir[] = "/tmp/pixtape-memcheck-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string log = std::string(dir) + "/vg.%p";
  PixtapeRun run(
      &x, {}, nullptr,
      {"valgrind", "--tool=memcheck", "--num-callers=40", "--leak-check=no", "--log-file=" + log});
  ASSERT_EQ(run.launcher_status(), 0);
  Window first = run.FirstRuler(20000);
  ASSERT_NE(first, None);
  x.Focus(first);
  x.MoveTo(500, 300);
  x.Key(XK_c); // copy
  Window copy = x.WaitForWindows(2, 20000).back();
  x.Key(XK_minus); // shrink, grow
  x.Key(XK_equal);
  x.MoveTo(300, 20);
  x.Click(1); // double click reverses, triple turns
  x.Click(1);
  x.Click(1);
  ASSERT_TRUE(x.WaitForGeometry(first, {300, 0, 67, 800}, 20000));
  x.Button(1, true); // drag
  x.MoveTo(330, 60);
  ASSERT_TRUE(x.WaitForGeometry(first, {330, 40, 67, 800}, 20000));
  x.Button(1, false);
  x.Focus(copy);
  x.Key(XK_Escape); // close the copy
  ASSERT_TRUE(x.WaitForWindows(1, 20000).size() == 1);
  x.Focus(first);
  x.Key(XK_q);
  EXPECT_EQ(run.WaitExit(30000), 1);

  std::ifstream in(std::string(dir) + "/vg." + std::to_string(run.ruler_pid()));
  std::stringstream report;
  report << in.rdbuf();
  ASSERT_NE(report.str().find("ERROR SUMMARY"), std::string::npos) << "no memcheck report";
  // each error is a block of lines "==pid== ...", ended by an empty one "==pid== "
  int ours = 0;
  std::string block;
  for (std::string line; std::getline(report, line);) {
    size_t text = line.find("== ");
    if (text != std::string::npos && text + 3 < line.size()) {
      block += line + "\n";
      continue;
    }
    bool invalid = block.find("Invalid read") != std::string::npos ||
                   block.find("Invalid write") != std::string::npos ||
                   block.find("uninitialised") != std::string::npos;
    if (invalid && (block.find("RulerWindow") != std::string::npos ||
                    block.find("main.cxx") != std::string::npos)) {
      ADD_FAILURE() << block;
      ours++;
    }
    block.clear();
  }
  EXPECT_EQ(ours, 0);
  if (!HasFailure()) {
    EXPECT_EQ(system((std::string("rm -rf ") + dir).c_str()), 0);
  }
#endif
}

} // namespace
