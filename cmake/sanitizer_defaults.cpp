// SPDX-License-Identifier: MIT
// Linked into every executable of the sanitized build, so the program and the
// tests report the same way wherever they run (the guest too), with no
// environment to set up.

extern "C" {

const char* __asan_default_options() { return "detect_leaks=1"; }

const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// Leaks inside system libraries the toolkit loads (D-Bus session, fonts); a
// leak with only these frames is not the program's own.
const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\nleak:libfontconfig.so\n"; }

}
