#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows console program under Wine, headless,
# in the Wine prefix PREFIX. The prefix is made once, by whichever run comes first; Wine
# reports Windows NT 4.0 to velk_winspec_nt4_test.exe and Windows 2000 to
# velk_winspec_w2k_test.exe, the system's version to every other program.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

app_version() {
  wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /d "$2" /f >/dev/null
}

if [ ! -e "$prefix/.trax-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -e "$prefix/.trax-ready" ]; then
    rm -rf "$prefix"
    wineboot -i >/dev/null 2>&1
    app_version velk_winspec_nt4_test.exe nt40
    app_version velk_winspec_w2k_test.exe win2k
    wineserver -w
    touch "$prefix/.trax-ready"
  fi
  exec 9>&-
fi
exec wine "$@"
