// On a Wayland desktop, where FLTK 1.4 would choose Wayland, rulers still go to the X server.
// Built against FLTK 1.4 only: FLTK 1.3 knows no Wayland.
// See LICENSE file for copyright and license details.
#include <gtest/gtest.h> // before Xlib, whose macros clash with it

#include "XServer.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A headless Wayland compositor in a runtime directory of its own, as a desktop session would
// have beside its XWayland server.
class Weston {
public:
  Weston() {
    char dir[] = "/tmp/pixtape-xdg-XXXXXX"; // mode 0700, as a runtime directory must be
    if (!mkdtemp(dir))
      throw std::runtime_error("mkdtemp");
    dir_ = dir;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
      std::string socket = "--socket=" + Socket();
      execlp("weston", "weston", "--backend=headless-backend.so", "--shell=kiosk-shell.so",
             socket.c_str(), "--idle-time=0", static_cast<char *>(nullptr));
      _exit(127);
    }
  }
  ~Weston() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::filesystem::remove_all(dir_);
  }
  const std::string &Dir() const { return dir_; }
  std::string Socket() const { return "wayland-pixtape"; }
  // Waits until clients can connect.
  bool Ready() const {
    return WaitFor([&] { return std::filesystem::exists(dir_ + "/" + Socket()); });
  }

private:
  std::string dir_;
  pid_t pid_;
};

} // namespace

TEST(Wayland, WithAWaylandDisplayTooTheRulerIsShownOnTheXServer) {
  XServer x;
  Weston weston;
  ASSERT_TRUE(weston.Ready()) << "weston did not start (tools/setup --test installs it)";
  PixtapeRun run(
      &x, {}, nullptr, {},
      {"WAYLAND_DISPLAY=" + weston.Socket(), "XDG_RUNTIME_DIR=" + weston.Dir(), "FLTK_BACKEND"});
  EXPECT_EQ(run.launcher_status(), 0);
  Window ruler = run.FirstRuler();
  ASSERT_NE(ruler, None) << "no ruler on the X server";
  EXPECT_TRUE(x.WaitForGeometry(ruler, {0, 0, 1280, 53}));
}
