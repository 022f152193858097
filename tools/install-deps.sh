#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and packaging the suite need (the
# package tests use dpkg-dev, file and lintian; the manual-page and desktop-entry checks
# groff, mandoc and desktop-file-utils); runs apt-get only when something is missing. Must
# run as root (or with sudo available).
# --gui-tools adds what tools/gui-screenshots.sh needs (a virtual X display, a tool that
# types into it, ImageMagick); neither the build nor the tests need them.
# --fuzz adds clang-14 and its libFuzzer runtime for the fuzz preset.
# --format adds clang-format-14, which tools/check-format.sh runs.
# --windows adds what the Windows build (cmake --preset mingw) needs: the MinGW-w64 cross
# compiler, GoogleTest's sources and Wine to run the tests.
set -euo pipefail
packages=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev
          qt6-base-dev qt6-base-dev-tools libgl-dev python3 libyaml-cpp-dev
          dpkg-dev file groff-base mandoc desktop-file-utils lintian
          passwd) # useradd/userdel: the named-event tests against a second account
for option in "$@"; do
  case "$option" in
    --gui-tools) packages+=(xvfb xdotool imagemagick) ;;
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    --format) packages+=(clang-format-14) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64 util-linux) ;;
    *) echo "install-deps.sh: unknown option '$option' (known: --gui-tools, --fuzz, --format, --windows)" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
