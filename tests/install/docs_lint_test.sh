#!/usr/bin/env bash
# The manual pages render without warnings (groff, mandoc), traxnt's page names every command
# word of its command table, and the desktop entry is valid.
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

if [ "$with_gui" = 1 ]; then
    out=$(desktop-file-validate "$source_dir/traxgui/desktop/traxgui.desktop" 2>&1) && [ -z "$out" ] ||
        fail "desktop-file-validate: $out"
fi
echo "manual pages, traxnt's command list and the desktop entry are clean"
