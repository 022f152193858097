#!/usr/bin/env bash
# Checks that every C and C++ source the repository tracks is formatted as .clang-format
# says (clang-format-14); lists each file that is not and fails. Run from anywhere:
#   bash tools/check-format.sh
# To fix: clang-format-14 -i <file>...
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$formatter" > /dev/null; then
  echo "check-format.sh: $formatter not found (bash tools/install-deps.sh --format installs it)" >&2
  exit 2
fi
mapfile -t sources < <(git ls-files -- '*.c' '*.h' '*.cpp' '*.hpp' '*.cc')
status=0
"$formatter" --dry-run -Werror "${sources[@]}" || status=$?
if [ "$status" -ne 0 ]; then
  echo "check-format.sh: the files above do not match .clang-format (fix: $formatter -i <file>)" >&2
fi
exit "$status"
