# Helpers shared by the install and package tests: failure reports and checks of installed
# binaries. Sourced; the caller sets build_dir and source_dir.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# check_runpaths DIR: every ELF file below DIR has either no RUNPATH/RPATH or one of
# $ORIGIN-relative entries only, and none names the build or source folder.
check_runpaths() {
    local file runpath
    while IFS= read -r -d '' file; do
        file -b "$file" | grep -q '^ELF' || continue
        runpath=$(readelf -d "$file" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
        [ -z "$runpath" ] && continue
        case ":$runpath:" in
            *"$build_dir"* | *"$source_dir"*) fail "$file: RUNPATH $runpath names the build tree" ;;
        esac
        local entry
        IFS=: read -ra entries <<<"$runpath"
        for entry in "${entries[@]}"; do
            case "$entry" in
                '$ORIGIN' | '$ORIGIN/'*) ;;
                *) fail "$file: RUNPATH entry $entry is not relative to \$ORIGIN" ;;
            esac
        done
    done < <(find "$1" -type f -print0)
}

# check_not_installed DIR: no benchmark, test program, test helper or static library.
check_not_installed() {
    local found
    found=$(find "$1" \( -name 'bench_*' -o -name '*_bench' -o -name '*_test' -o -name '*_throughput' \
                         -o -name 'trax_sig_sender' -o -name '*.a' -o -name 'test_*' \) -print)
    [ -z "$found" ] || fail "installed but must not be: $found"
}
