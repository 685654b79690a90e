// pixtape: start-up, the help text, and the detach from the launching shell.
// See LICENSE file for copyright and license details.
#include "RulerWindow.h"

#include <FL/Fl.H>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#if FL_API_VERSION >= 10400
// Rulers place themselves and follow the pointer in screen coordinates, which Wayland does not
// allow; this keeps FLTK on X11 (XWayland on a Wayland desktop).
FL_EXPORT bool fl_disable_wayland = true;
#endif

const char *G_help =
    "\n"
    "pixtape - a simple onscreen pixel ruler for debugging GUIs\n"
    "Version 1.05\n"
    "\n"
    "KEYBOARD OPERATIONS\n"
    "    'c'                   Make a copy of the current ruler (in focus)\n"
    "    'Esc'                 Closes current ruler (in focus)\n"
    "    'q'                   Quit all rulers\n"
    "    Up,Down,Left,Right    Re-orients ruler (arrow points to where zero will be)\n"
    "\n"
    "MOUSE OPERATIONS\n"
    "    Left-Drag             Drags current ruler around for positioning\n"
    "    Left-Double-click     Reverses direction of current ruler's numbers\n"
    "    Left-Triple-click     Rotates current ruler 90 degrees\n"
    "    Middle-Click          Makes copy of current ruler\n"
    "\n"
    "AUTHOR\n"
    "    Written by the pixtape developers.\n"
    "    The latest version can be downloaded from the pixtape home page.\n"
    "    Building pixtape from source needs FLTK, a multi-platform graphics toolkit\n"
    "    supporting Windows, Linux, OSX and IRIX, from https://www.fltk.org/\n"
    "\n"
    "BUGS\n"
    "    Report bugs by e-mail to the pixtape developers, with \"pixtape bug report\"\n"
    "    in the subject of the message; other reports are ignored.\n"
    "\n"
    "COPYRIGHT\n"
    "    Copyright (C) 2026 the pixtape developers.\n"
    "\n"
    "    This program is free software; see the source for copying conditions.\n"
    "    There is NO warranty; not even for MERCHANTABILITY or FITNESS FOR A\n"
    "    PARTICULAR PURPOSE. The LICENSE file that came with the source\n"
    "    says more.\n";

// The ruler process's end of the channel on which it tells the launching process it is up.
static int G_ready_fd = -1;

// Detach from the launching shell. The shell gets its prompt back, with status 0, once the first
// ruler is up; if the ruler process dies before that (no display, say), with its status.
void Fork() {
  int ends[2];
  // A socket rather than a pipe: send() can avoid SIGPIPE should the launching process be gone.
  bool handshake = socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0;
  // A launcher started with SIGCHLD ignored would find its child reaped by the kernel, its status
  // gone: it waits with the default disposition, and the ruler process gets back the one it had.
  struct sigaction wait_default = {}, inherited;
  wait_default.sa_handler = SIG_DFL;
  sigemptyset(&wait_default.sa_mask);
  bool swapped = sigaction(SIGCHLD, &wait_default, &inherited) == 0;
  pid_t pid = fork();
  if (pid <= 0 && swapped)
    sigaction(SIGCHLD, &inherited, nullptr);
  if (pid > 0) {
    if (!handshake)
      exit(0);
    close(ends[1]);
    char byte;
    ssize_t n;
    do
      n = read(ends[0], &byte, 1);
    while (n < 0 && errno == EINTR);
    if (n == 1)
      exit(0);
    // the ruler process ended before its ruler was up: its status, or a failure if none is known
    int status = 0;
    pid_t waited;
    do
      waited = waitpid(pid, &status, 0);
    while (waited < 0 && errno == EINTR);
    exit(waited == pid && WIFEXITED(status) ? WEXITSTATUS(status) : 1);
  }
  if (handshake) {
    close(ends[0]);
    if (pid == 0)
      G_ready_fd = ends[1];
    else // fork failed: run on undetached, nobody to tell
      close(ends[1]);
  }
  if (pid == 0) {
    // Rulers read and print nothing, so let go of the launcher's input and output: `$(pixtape)`
    // or a pipe then ends with the launching process. stderr stays for the toolkit's messages.
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      if (null > STDERR_FILENO)
        close(null);
    }
  }
}

// Let the launching process go: the first ruler is on the display.
static void ReportStarted() {
  if (G_ready_fd < 0)
    return;
  Fl::flush();
  char byte = 1;
  send(G_ready_fd, &byte, 1, MSG_NOSIGNAL);
  close(G_ready_fd);
  G_ready_fd = -1;
}

int main(int argc, char **argv) {
  for (int i = 1; i < argc; i++) {
    if (argv[i][0] == '-' && argv[i][1] == 'h') {
      fputs(G_help, stderr);
      exit(1);
    }
  }
  Fork(); // before any FLTK call: only the ruler process opens the display
  // WM_CLASS "pixtape", "Pixtape" on every ruler, for window-manager rules and task switchers
  Fl_Window::default_xclass("pixtape");
  RulerWindow ruler(Fl::w(), HORIZ_THICKNESS, 1, 0);
  ReportStarted();
  return Fl::run();
}
