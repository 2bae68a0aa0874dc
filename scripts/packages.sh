# SPDX-License-Identifier: MIT
# The Debian packages, one list per purpose, and how the missing ones get
# installed. Sourced by scripts/run, scripts/setup and scripts/build-windows.
#   install_missing PACKAGE...

# Building and running the program: the compiler and build tools, Qt Widgets,
# and what Qt loads at run time without linking it: its window system plugins
# (libqt6gui6 only recommends them) and the window's font. The .deb depends on
# the same two (data/CMakeLists.txt).
program_packages=(g++ cmake ninja-build qt6-base-dev qt6-qpa-plugins fonts-liberation2)

# The whole test suite, on top of the program's: clang with its sanitizer and
# fuzzer runtimes, GoogleTest, Xvfb and the tools that drive and read a window,
# the QEMU guest's kernel and busybox, the serial programs the wire tests run
# beside ours, and the package's checkers.
suite_packages=(
  clang libclang-rt-14-dev pkg-config cpio libgtest-dev
  xvfb xdotool x11-utils imagemagick libx11-dev
  qemu-system-x86 linux-image-amd64 busybox-static
  picocom tio minicom screen python3-serial
  desktop-file-utils appstream dpkg-dev groff-base lintian
)

# The Windows build and its tests: the mingw-w64 cross compiler, GoogleTest's
# sources (built for Windows), Wine, and the display and zip tools.
windows_packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine64 xvfb xdotool imagemagick zip)

# Installs those of the packages that are not installed: as root directly,
# otherwise with sudo. Where there is no sudo, or sudo may not install them,
# prints the command for root and returns 1.
install_missing() {
  local missing=() p
  for p; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0

  local as_root=()
  if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null; then
      _print_root_command "${missing[@]}"
      return 1
    fi
    as_root=(sudo)
  fi
  echo "Installing${as_root:+ with sudo}: ${missing[*]}"
  if ! "${as_root[@]}" apt-get update -qq ||
     ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
         apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    ((${#as_root[@]})) && _print_root_command "${missing[@]}"
    return 1
  fi
}

_print_root_command() {
  echo "Missing Debian packages. As root, run:" >&2
  echo "  apt-get update && apt-get install -y --no-install-recommends $*" >&2
  echo "then run this script again." >&2
}
