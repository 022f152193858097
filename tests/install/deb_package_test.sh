#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks it: control fields and Depends,
# the files it carries, stripped binaries with RUNPATHs relative to themselves, and, where
# lintian is installed, no errors from it.
# Arguments: build folder, source folder, library folder relative to the prefix, 1 if the
# GUI is built, project version.
set -euo pipefail
build_dir=$1 source_dir=$2 libdir=$3 with_gui=$4 version=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"${CPACK:-cpack}" -G DEB -B "$work" --config "$build_dir/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
deb=$work/trax-suite_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no package $deb: $(ls "$work")"

[ "$(dpkg-deb --field "$deb" Package)" = trax-suite ] || fail "wrong package name"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "wrong version"
depends=$(dpkg-deb --field "$deb" Depends)
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
needed=(libc6 libstdc++6)
[ "$with_gui" = 1 ] && needed+=(libqt6widgets6 libqt6gui6 libqt6core6)
for package in "${needed[@]}"; do
    grep -qxF "$package" <<<"$depends_names" || fail "Depends lacks $package: $depends"
done
! grep -Eiq 'trax|velk' <<<"$depends" || fail "Depends names the package's own libraries: $depends"

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
expected=(./usr/bin/traxnt ./usr/bin/traxapp ./usr/bin/trax_catalogue
          "./usr/$libdir/libvelk_trax_api.so.1.0.0" "./usr/$libdir/libvelk_usr_oss.so.1.0.0"
          "./usr/$libdir/libvelk_usr_utl.so.1.0.0" "./usr/$libdir/libtrax_platform.so.1.0.0"
          "./usr/$libdir/libvelk_winspec.so.3.1.0" "./usr/$libdir/libtrax_yaml_reader.so.1.0.0"
          ./usr/include/trax/trax_api.h
          "./usr/$libdir/cmake/Trax/TraxConfig.cmake" "./usr/$libdir/pkgconfig/velk_trax_api.pc"
          ./usr/share/man/man1/traxnt.1.gz ./usr/share/man/man5/trax-devices.5.gz
          ./usr/share/man/man7/trax-devices.7.gz
          ./usr/share/doc/trax-suite/copyright ./usr/share/doc/trax-suite/changelog.gz)
[ "$with_gui" = 1 ] && expected+=(./usr/bin/traxgui ./usr/share/applications/traxgui.desktop
                                  ./usr/share/icons/hicolor/scalable/apps/traxgui.svg)
for f in "${expected[@]}"; do
    grep -qxF "$f" <<<"$contents" || fail "package lacks $f"
done
! grep -q '^\./usr/local' <<<"$contents" || fail "package installs to /usr/local"
grep -qF 'prefix=/usr' <(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/$libdir/pkgconfig/velk_trax_api.pc") ||
    fail "the packaged pkg-config file does not have the prefix /usr"

dpkg-deb -x "$deb" "$work/root"
check_not_installed "$work/root"
check_runpaths "$work/root"
# In /usr the libraries are in the loader's own folder: no program or library has a RUNPATH.
runpaths=$(find "$work/root/usr" -type f \( -path '*/bin/*' -o -name '*.so.*' \) -exec readelf -d {} + |
           grep -E '\((RUNPATH|RPATH)\)' || true)
[ -z "$runpaths" ] || fail "binaries installed to /usr have a RUNPATH: $runpaths"
unstripped=$(find "$work/root" -type f -exec file {} + | grep 'ELF.*not stripped' || true)
[ -z "$unstripped" ] || fail "unstripped binaries: $unstripped"

if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
fi
echo "package $(basename "$deb") good; Depends: $depends"
