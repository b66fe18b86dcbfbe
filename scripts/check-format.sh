#!/bin/sh
# Checks that the C++ sources follow .clang-format; with --fix, rewrites them in place.
#   scripts/check-format.sh          exit 1 and list the differences when a file is off
#   scripts/check-format.sh --fix    format every source file
# CLANG_FORMAT picks the program (default: clang-format-14, else clang-format).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

fix=0
case "${1:-}" in
--fix) fix=1 ;;
"") ;;
*) echo "usage: $0 [--fix]" >&2; exit 2 ;;
esac

cf=${CLANG_FORMAT:-}
if [ -z "$cf" ]; then
    if command -v clang-format-14 >/dev/null 2>&1; then cf=clang-format-14; else cf=clang-format; fi
fi
command -v "$cf" >/dev/null 2>&1 || { echo "$0: $cf not found" >&2; exit 2; }

# The product and test sources; build folders and anything untracked stay out.
list_sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -- '*.cpp' '*.h'
    else
        find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||'
    fi
}

files=$(list_sources)
[ -n "$files" ] || { echo "$0: no sources found" >&2; exit 2; }

if [ "$fix" -eq 1 ]; then
    # shellcheck disable=SC2086
    printf '%s\n' $files | xargs "$cf" -i --style=file
    exit 0
fi

# shellcheck disable=SC2086
if printf '%s\n' $files | xargs "$cf" --dry-run --Werror --style=file; then
    echo "format: all $(printf '%s\n' $files | wc -l) files follow .clang-format"
else
    echo "format: files above differ from .clang-format; run scripts/check-format.sh --fix" >&2
    exit 1
fi
