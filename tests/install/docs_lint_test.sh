#!/usr/bin/env bash
# The manual pages render without warnings (groff, mandoc), traxnt's page names every command
# word of its command table, trax-devices.5 every key of a definition file, and the desktop
# entry is valid.
# Arguments: source folder, 1 if the GUI is built.
set -euo pipefail
source_dir=$1 with_gui=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

for page in "$source_dir"/man/*.[1-9]; do
    out=$(groff -man -ww -z "$page" 2>&1) && [ -z "$out" ] || fail "groff on $page: $out"
    out=$(mandoc -T lint -W warning "$page" 2>&1) && [ -z "$out" ] || fail "mandoc on $page: $out"
done

# Every word of the command table, and "e" which the loop handles itself, has its entry.
words=$(sed -n 's/^ *{"\([a-z]*\)", .*/\1/p' "$source_dir/traxnt/command_table.cpp")
[ "$(wc -w <<<"$words")" -ge 40 ] || fail "command words not found in command_table.cpp"
for word in e $words; do
    grep -qxF ".B $word" "$source_dir/man/traxnt.1" || fail "traxnt.1 does not describe '$word'"
done

# trax-devices.5 describes every key of a definition file: the key tables of the reader.
sim=$source_dir/framework/sim
keys=$({
    sed -n 's/.*TRAX_NUMBER([A-Za-z]*, "\([a-z_]*\)".*/\1/p
            s/^ *{"\([a-z_]*\)", &DeviceSpec::.*/\1/p' "$sim/definition_keys.cpp"
    sed -n '/^constexpr const char \*k[A-Za-z]*\[\] = {/{:a;/};/!{N;ba};p}' "$sim/definition_reader.cpp" |
        grep -o '"[a-z_]*"' | tr -d '"'
} | sort -u)
[ "$(wc -w <<<"$keys")" -ge 50 ] || fail "definition keys not found in $sim"
for key in name model words $keys; do
    grep -Eq "^\.BR? (.* )?$key( |,|\$)" "$source_dir/man/trax-devices.5" ||
        fail "trax-devices.5 does not describe the key '$key'"
done

if [ "$with_gui" = 1 ]; then
    out=$(desktop-file-validate "$source_dir/traxgui/desktop/traxgui.desktop" 2>&1) && [ -z "$out" ] ||
        fail "desktop-file-validate: $out"
fi
echo "manual pages, traxnt's command list, the definition keys and the desktop entry are clean"
