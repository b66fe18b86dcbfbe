#!/usr/bin/env bash
# Checks that every folder includes only its own layer and the layers below it
# (docs/dev/ARCHITECTURE.md), and that the layers without Qt include no Qt header.
# Prints each offending file:line and exits 1 when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."

# folder -> the top folders its `#include "..."` lines may name
declare -A allowed=(
  [resources]="resources"
  [resources/tools]="resources text"
  [text]="text resources"
  [model]="model text resources"
  [base]="base model text resources"
  [link]="link base model text resources"
  [sim]="sim model text resources"
  [print]="print base model text resources"
  [dav]="dav filters base model text resources"
  [document]="document print link base model text resources"
  [app]="app dav document print link base model text resources sim bundle"
  [cli]="cli link base model text resources bundle dav"
  [filters]="filters model text resources"
  [bundle]="bundle filters link base model text resources"
)
# Folders that stay plain C++ (the generator in resources/tools is a Qt host tool).
no_qt="text model filters sim"

bad=0
for dir in resources/tools resources text model base link sim print document dav app cli filters bundle; do
  [ -d "$dir" ] || continue
  files=$(find "$dir" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
  [ "$dir" = resources ] && files=$(grep -v '^resources/tools/' <<<"$files")
  [ -n "$files" ] || continue
  while IFS= read -r f; do
    while IFS=: read -r line inc; do
      top=${inc%%/*}
      [ "$top" = "$inc" ] && continue # a file beside this one ("Foo.h")
      # The generator shares the one lead-byte rule of the text layer, nothing else of it.
      if [ "$dir" = resources/tools ] && [ "$top" = text ] && [ "$inc" != text/LeadByte.h ]; then
        echo "$f:$line: includes \"$inc\"; the generator takes only text/LeadByte.h from text/"
        bad=1
        continue
      fi
      case " ${allowed[$dir]} " in
        *" $top "*) ;;
        *) echo "$f:$line: includes \"$inc\" ($dir/ may include only: ${allowed[$dir]})"; bad=1 ;;
      esac
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$f" |
               sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/')
    if [[ " $no_qt " == *" $dir "* ]]; then
      while IFS= read -r hit; do
        echo "$f:${hit%%:*}: includes a Qt header; $dir/ is plain C++"
        bad=1
      done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$f")
    fi
  done <<<"$files"
done
[ "$bad" = 0 ] && echo "check-layers: every include points down"
exit "$bad"
