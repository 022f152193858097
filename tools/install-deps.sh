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
# compiler, GoogleTest's sources and Wine to run the tests, and yaml-cpp built for MinGW-w64
# from Debian's own source package (Debian ships no MinGW-w64 yaml-cpp), installed as a static
# library into /usr/x86_64-w64-mingw32 where the mingw preset's find_package finds it.
set -euo pipefail
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
windows=0
packages=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev
          qt6-base-dev qt6-base-dev-tools libgl-dev python3 libyaml-cpp-dev
          dpkg-dev file groff-base mandoc desktop-file-utils lintian
          passwd) # useradd/userdel: the named-event tests against a second account
for option in "$@"; do
  case "$option" in
    --gui-tools) packages+=(xvfb xdotool imagemagick) ;;
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    --format) packages+=(clang-format-14) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64 util-linux)
               windows=1 ;;
    *) echo "install-deps.sh: unknown option '$option' (known: --gui-tools, --fuzz, --format, --windows)" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

mingw_root=/usr/x86_64-w64-mingw32
repo=$(cd "$(dirname "$0")/.." && pwd)

# Adds source entries for the Debian suites the machine installs from, once, when apt knows
# no yaml-cpp sources yet: the deb entries of Debian's own lists, with deb-src as their type.
add_debian_sources() {
  local list=/etc/apt/sources.list.d/trax-debian-src
  apt-cache showsrc yaml-cpp 2>/dev/null | grep -q '^Package: yaml-cpp' && return 0
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo_cmd tee "$list.sources" > /dev/null
  elif grep -qs '^deb ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $sudo_cmd tee "$list.list" > /dev/null
  else
    echo "install-deps.sh: no Debian entry in /etc/apt/sources.list* to add sources for" >&2
    exit 1
  fi
  $sudo_cmd apt-get update -qq
}

# yaml-cpp for MinGW-w64 from `apt-get source yaml-cpp` (Debian's patches applied), built with
# the project's own toolchain file. Skipped when its package configuration is installed.
install_mingw_yaml_cpp() {
  [ -f "$mingw_root/lib/cmake/yaml-cpp/yaml-cpp-config.cmake" ] && return 0
  add_debian_sources
  local work
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get source -qq yaml-cpp > /dev/null)
  local source_dir
  source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'yaml-cpp-*')
  cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$mingw_root" \
    -DYAML_BUILD_SHARED_LIBS=OFF -DYAML_CPP_BUILD_TESTS=OFF -DYAML_CPP_BUILD_TOOLS=OFF > /dev/null
  cmake --build "$work/build" > /dev/null
  $sudo_cmd cmake --install "$work/build" > /dev/null
  rm -rf "$work"
  trap - EXIT
}

if [ "$windows" -eq 1 ]; then
  install_mingw_yaml_cpp
fi
