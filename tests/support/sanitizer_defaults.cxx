// Sanitizer settings built into every program of a -DPIXTAPE_SANITIZE=ON build, so that a report
// fails whatever runs it, with a status no binding uses.
// See LICENSE file for copyright and license details.

extern "C" {

const char *__asan_default_options() {
  return "exitcode=86:detect_leaks=1";
}

const char *__lsan_default_options() {
  return "print_suppressions=0";
}

const char *__ubsan_default_options() {
  return "print_stacktrace=1:halt_on_error=1:exitcode=86";
}

// Copies of a ruler are never deleted: they live as long as the process. Fontconfig, which the
// toolkit's Xft fonts load, keeps caches that live as long too.
const char *__lsan_default_suppressions() {
  return "leak:RulerWindow::Bind\n"
         "leak:libfontconfig\n";
}
}
