// Start-up: the help text, the detach from the shell, the first ruler, and the end of the program.
// See LICENSE file for copyright and license details.
#include <gtest/gtest.h> // before Xlib, whose macros (None, Status) clash with it

#include "XServer.h"

#include <csignal>
#include <fstream>
#include <sstream>
#include <unistd.h>

static std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

class Help : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(Help, PrintsTheHelpTextOnStderrAndExitsOneWithoutADisplay) {
  PixtapeRun run(nullptr, GetParam());
  EXPECT_EQ(run.launcher_status(), 1);
  EXPECT_EQ(run.Stdout(), "");
  const std::string help = run.Stderr();
  const std::vector<std::string> want = {
      "",
      "pixtape - a simple onscreen pixel ruler for debugging GUIs",
      "Version 1.05",
      "",
      "KEYBOARD OPERATIONS",
      "    'c'                   Make a copy of the current ruler (in focus)",
      "    'Esc'                 Closes current ruler (in focus)",
      "    'q'                   Quit all rulers",
      "    Up,Down,Left,Right    Re-orients ruler (arrow points to where zero will be)",
      "",
      "MOUSE OPERATIONS",
      "    Left-Drag             Drags current ruler around for positioning",
      "    Left-Double-click     Reverses direction of current ruler's numbers",
      "    Left-Triple-click     Rotates current ruler 90 degrees",
      "    Middle-Click          Makes copy of current ruler",
      "",
  };
  std::vector<std::string> lines = Lines(help);
  ASSERT_GT(lines.size(), want.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + want.size()), want);

  // then AUTHOR (4 lines), BUGS (2), COPYRIGHT (1, empty, 4), one empty line between sections
  std::vector<std::string> shape;
  for (size_t i = want.size(); i < lines.size(); i++) {
    const std::string &l = lines[i];
    shape.push_back(l.empty() ? "" : l.rfind("    ", 0) == 0 ? "    " : l);
  }
  std::vector<std::string> sections = {"AUTHOR", "    ", "    ", "    ", "    ",      "",
                                       "BUGS",   "    ", "    ", "",     "COPYRIGHT", "    ",
                                       "",       "    ", "    ", "    ", "    "};
  EXPECT_EQ(shape, sections);
  EXPECT_NE(help.find("pixtape bug report"), std::string::npos);
  EXPECT_NE(help.find("https://www.fltk.org/"), std::string::npos);
  EXPECT_EQ(help.back(), '\n');
  EXPECT_EQ(help.find('\t'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(HelpArguments, Help,
                         ::testing::Values(std::vector<std::string>{"-h"},
                                           std::vector<std::string>{"-help"},
                                           std::vector<std::string>{"-hello"},
                                           std::vector<std::string>{"a", "b", "-h"},
                                           std::vector<std::string>{"-h", "--help"}));

class OtherArguments : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(OtherArguments, StartARulerAsWithoutArguments) {
  XServer x;
  PixtapeRun run(&x, GetParam());
  EXPECT_EQ(run.launcher_status(), 0);
  EXPECT_EQ(run.Stderr(), "");
  Window ruler = run.FirstRuler();
  ASSERT_NE(ruler, None);
  EXPECT_TRUE(x.WaitForGeometry(ruler, {0, 0, 1280, 53}));
}

INSTANTIATE_TEST_SUITE_P(
    Ignored, OtherArguments,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"--help"},
                      std::vector<std::string>{"-H"}, std::vector<std::string>{"h"},
                      std::vector<std::string>{"-"}, std::vector<std::string>{""},
                      std::vector<std::string>{"-display", ":99"}));

// Started as daemons and some launchers start programs, with SIGCHLD ignored (timeout(1) would
// reset it), so that the kernel reaps pixtape's children itself.
const std::vector<std::string> IGNORING_SIGCHLD = {"bash", "-c",
                                                   "trap '' CHLD; exec \"$0\" \"$@\""};

static bool IgnoresSigchld(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("SigIgn:", 0) == 0)
      return std::stoull(line.substr(7), nullptr, 16) >> (SIGCHLD - 1) & 1;
  return false;
}

TEST(Detach, TheShellGetsZeroBackWhileTheRulerStaysUp) {
  XServer x;
  PixtapeRun run(&x, {}, nullptr, IGNORING_SIGCHLD);
  ASSERT_EQ(run.launcher_status(), 0);
  Window ruler = run.FirstRuler();
  ASSERT_NE(ruler, None);
  // `out=$(pixtape)` returns: the ruler process does not hold the launcher's stdout
  EXPECT_TRUE(run.WaitStdoutEnd());
  EXPECT_TRUE(run.Running());
  EXPECT_TRUE(IgnoresSigchld(run.ruler_pid())) << "the ruler process changed what it inherited";
}

TEST(Detach, WithNoDisplayTheShellGetsAFailureAndTheToolkitsMessage) {
  PixtapeRun unset(nullptr);
  EXPECT_EQ(unset.launcher_status(), 1);
  EXPECT_NE(unset.Stderr(), "");
  EXPECT_EQ(PixtapeRun(nullptr, {}, nullptr, IGNORING_SIGCHLD).launcher_status(), 1);

  ASSERT_NE(access("/tmp/.X11-unix/X9999", F_OK), 0) << "display :9999 exists";
  PixtapeRun unreachable(nullptr, {}, ":9999");
  EXPECT_EQ(unreachable.launcher_status(), 1);
  EXPECT_NE(unreachable.Stderr().find(":9999"), std::string::npos) << unreachable.Stderr();
}

static void AskToClose(const XServer &x, Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(x.display(), "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(x.display(), "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(x.display(), w, False, NoEventMask, &e);
  x.Sync();
}

TEST(FirstRuler, ClosedByTheWindowManagerEndsTheProgramWithZero) {
  XServer x;
  PixtapeRun run(&x);
  Window ruler = run.FirstRuler();
  ASSERT_NE(ruler, None);
  AskToClose(x, ruler);
  EXPECT_EQ(run.WaitExit(), 0);
  EXPECT_TRUE(x.WaitForWindows(0).empty());
}
