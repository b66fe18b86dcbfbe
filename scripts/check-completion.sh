#!/usr/bin/env bash
# Runs the bash completion of tessera-cli on a table of command lines against the built
# program and checks the words it offers.   scripts/check-completion.sh BUILD_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: scripts/check-completion.sh BUILD_DIR}" && pwd)
[ -r /usr/share/bash-completion/bash_completion ] || { echo "bash-completion is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A home of its own: the bundled filters get registered there, not in the user's settings.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME" "$work/files/sub"
touch "$work/files/a.tsr" "$work/files/b.TSR" "$work/files/c.txt"
cd "$work/files"

# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1091
source "$root/packaging/completion/tessera-cli.bash"

failed=0
# expect LINE WORD... : completing LINE (its last word is what is being typed) must offer
# every WORD; a WORD written !WORD must not be offered.
expect() {
  local line=$1; shift
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_WORDS[0]=$build/cli/tessera-cli
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="$build/cli/tessera-cli ${line#* }"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _tessera_cli
  local w offered=" ${COMPREPLY[*]} "
  for w in "$@"; do
    if [[ $w == !* ]]; then
      [[ $offered != *" ${w#!} "* ]] && continue
    else
      [[ $offered == *" $w "* ]] && continue
    fi
    echo "completion of '$line': expected $w, offered:$offered" >&2
    failed=1
  done
}

expect "tessera-cli i"                     info import '!send'
expect "tessera-cli --quiet s"             send strings '!info'
expect "tessera-cli --answer y"            yes '!no'
expect "tessera-cli info --"               --json --conv --bad-values --help '!--help-all' '!--port'
expect "tessera-cli send x.tsr --"         --records --port --method --bps --trace
expect "tessera-cli send --method "        cable ir
expect "tessera-cli export a.tsr --filter " CSV vCard iCalendar
expect "tessera-cli info "                 a.tsr b.TSR sub '!c.txt'
expect "tessera-cli import "               a.tsr c.txt
expect "tessera-cli export a.tsr -o "      c.txt
expect "tessera-cli receive --bps 1"       1200 19200 115200 '!9600'
exit $failed
