#!/usr/bin/env bash
# Installs the suite with DESTDIR into a temporary folder and uses it from there: the layout,
# the RUNPATHs, the installed traxnt on a short script, and outside programs built against
# the installation with find_package(Trax) and with pkg-config.
# Arguments: build folder, source folder, library folder relative to the prefix, 1 if the
# GUI is built, C compiler, C++ compiler.
set -euo pipefail
build_dir=$1 source_dir=$2 libdir=$3 with_gui=$4 cc=$5 cxx=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
prefix=/opt/trax-install-test
DESTDIR=$root "${CMAKE:-cmake}" --install "$build_dir" --prefix "$prefix" >"$work/install.log" ||
    fail "cmake --install: $(cat "$work/install.log")"
p=$root$prefix

expected=(bin/traxnt bin/traxapp bin/trax_catalogue
          include/trax/trax_api.h include/trax/trax_codes.h include/trax/trax_errors.h
          include/trax/trax_export.h include/trax/usr_oss.h include/trax/usr_utl.h
          "$libdir/cmake/Trax/TraxConfig.cmake" "$libdir/cmake/Trax/TraxConfigVersion.cmake"
          share/man/man1/traxnt.1.gz share/man/man1/traxapp.1.gz
          share/man/man1/trax_catalogue.1.gz share/man/man5/trax-devices.5.gz
          share/man/man7/trax-devices.7.gz)
for lib in velk_trax_api velk_usr_oss velk_usr_utl trax_platform; do
    expected+=("$libdir/lib$lib.so" "$libdir/lib$lib.so.1" "$libdir/lib$lib.so.1.0.0")
done
for lib in velk_trax_api velk_usr_oss velk_usr_utl; do
    expected+=("$libdir/pkgconfig/$lib.pc")
done
expected+=("$libdir/libvelk_winspec.so.3" "$libdir/libvelk_winspec.so.3.1.0")
expected+=("$libdir/libtrax_yaml_reader.so.1" "$libdir/libtrax_yaml_reader.so.1.0.0")
if [ "$with_gui" = 1 ]; then
    expected+=(bin/traxgui share/man/man1/traxgui.1.gz share/applications/traxgui.desktop
               share/icons/hicolor/scalable/apps/traxgui.svg)
fi
for f in "${expected[@]}"; do
    [ -e "$p/$f" ] || fail "not installed: $f"
done
[ "$(readlink "$p/$libdir/libvelk_trax_api.so.1")" = libvelk_trax_api.so.1.0.0 ] ||
    fail "libvelk_trax_api.so.1 is not a link to libvelk_trax_api.so.1.0.0"
check_not_installed "$p"
check_runpaths "$p"
! grep -rlF -e "$build_dir" -e "$source_dir" "$p/$libdir/cmake" "$p/$libdir/pkgconfig" ||
    fail "package configuration names the build or source tree"

# A clean environment: no library path, no build folder anywhere, started from elsewhere.
clean_env=(env -i PATH=/usr/bin:/bin HOME="$work")
ldd_out=$(cd "$work" && "${clean_env[@]}" ldd "$p/bin/traxnt")
for lib in velk_trax_api velk_usr_oss velk_usr_utl trax_platform; do
    grep -q "lib$lib.so.1 => $p/bin/../$libdir/lib$lib.so.1 " <<<"$ldd_out" ||
        fail "traxnt does not find lib$lib in the installation: $ldd_out"
done
out=$(cd "$work" && printf 'mo sim_dio_1\nmw 1\nmr\nmg 1101 0\nmc\ne\n' | "${clean_env[@]}" "$p/bin/traxnt")
grep -q ' read value=0x1$' <<<"$out" || fail "installed traxnt: no read-back value: $out"
grep -q ' output value = 0x10$' <<<"$out" || fail "installed traxnt: no channel count: $out"
grep -q 'Dev:<none>' <<<"$out" || fail "installed traxnt: the path was not closed: $out"
# trax_catalogue holds the definition reader itself and finds the YAML reader library in the
# installation's library folder.
out=$(cd "$work" && "${clean_env[@]}" "$p/bin/trax_catalogue" 2>&1)
grep -q '^| `sim_fault_1` |' <<<"$out" || fail "installed trax_catalogue: no built-in devices: $out"
if [ "$with_gui" = 1 ]; then
    (cd "$work" && "${clean_env[@]}" QT_QPA_PLATFORM=offscreen TRAXGUI_QUIT_WHEN_SHOWN=1 \
         XDG_RUNTIME_DIR="$work" timeout 60 "$p/bin/traxgui" >"$work/gui.log" 2>&1) ||
        fail "installed traxgui did not start and quit: $(cat "$work/gui.log")"
fi

# find_package(Trax): the example program from its sources, and the C probe.
"${CMAKE:-cmake}" -S "$here/outside" -B "$work/outside" -G "${TRAX_GENERATOR:-Ninja}" -DCMAKE_C_COMPILER="$cc" \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$p" \
      -DTRAX_APP_SOURCE_DIR="$source_dir/traxapp" >"$work/outside.log" 2>&1 &&
    "${CMAKE:-cmake}" --build "$work/outside" >>"$work/outside.log" 2>&1 ||
    fail "outside project with find_package(Trax): $(cat "$work/outside.log")"
probe_expected=$'read back 1, 16 channels, 0xe00e\nERR_MK_ILL_PATH: bad or closed path'
[ "$("${clean_env[@]}" "$work/outside/probe")" = "$probe_expected" ] ||
    fail "probe built with find_package(Trax) printed: $("${clean_env[@]}" "$work/outside/probe")"
app_out=$("${clean_env[@]}" "$work/outside/traxapp_outside" sim_dio_1)
[ "$app_out" = "$("${clean_env[@]}" "$p/bin/traxapp" sim_dio_1)" ] ||
    fail "traxapp built outside differs from the installed one: $app_out"
grep -q '^- number of channels = 16$' <<<"$app_out" || fail "traxapp built outside: $app_out"

# pkg-config, reading only the installed .pc files, relocated into the DESTDIR folder.
flags=$(PKG_CONFIG_PATH= PKG_CONFIG_LIBDIR="$p/$libdir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$root" \
        pkg-config --cflags --libs velk_trax_api velk_usr_utl) || fail "pkg-config found no module"
# shellcheck disable=SC2086 # the flags are words
"$cc" -o "$work/probe_pc" "$here/outside/probe.c" $flags -Wl,-rpath,"$p/$libdir" ||
    fail "probe with pkg-config flags '$flags' did not build"
[ "$("${clean_env[@]}" "$work/probe_pc")" = "$probe_expected" ] ||
    fail "probe built with pkg-config printed: $("${clean_env[@]}" "$work/probe_pc")"
echo "installed tree in $prefix: layout, RUNPATHs, traxnt, find_package and pkg-config all good"
