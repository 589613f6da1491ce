#!/usr/bin/env bash
# Fails when any C++ file under git differs from what clang-format makes of it
# with the tree's .clang-format, and says which files and how many lines; it
# changes nothing. `scripts/check-format.sh --fix` formats those files in place.
#
# The options in .clang-format were chosen with Debian 12's clang-format 14;
# other versions may break some lines differently.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! command -v clang-format > /dev/null; then
  echo "check-format: clang-format is missing (Debian package clang-format)" >&2
  exit 2
fi

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  echo "check-format: formatted ${#files[@]} files"
  exit 0
elif [ $# -gt 0 ]; then
  echo "usage: scripts/check-format.sh [--fix]" >&2
  exit 2
fi

drifted=0
lines=0
for file in "${files[@]}"; do
  # Lines of the file that formatting would replace.
  changed=$(clang-format "$file" | diff "$file" - | grep -c '^<' || true)
  if [ "$changed" -gt 0 ]; then
    echo "$file: $changed lines"
    drifted=$((drifted + 1))
    lines=$((lines + changed))
  fi
done

if [ "$drifted" -gt 0 ]; then
  echo "check-format: $drifted of ${#files[@]} files differ from .clang-format ($lines lines);" \
    "run scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted as .clang-format says"
