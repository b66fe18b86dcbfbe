#!/usr/bin/env bash
# The checks of what a Linux install adds, each by the tool its ecosystem uses:
# desktop-file-validate, appstreamcli, the MIME database compiler, man --warnings, the
# shells' syntax checks and the bash completion on a few command lines; then the Debian
# package is made from BUILD_DIR's install (cpack) into OUT_DIR and lintian judges it.
#   scripts/check-package.sh BUILD_DIR [OUT_DIR]     (OUT_DIR: build-pkg)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/check-package.sh BUILD_DIR [OUT_DIR]}
out=${2:-build-pkg}
fail=0
note() { echo "check-package: $*" >&2; fail=1; }

desktop-file-validate app/install/tessera.desktop || note "the desktop entry is refused"
appstreamcli validate --no-net packaging/*.metainfo.xml >"${TMPDIR:-/tmp}/tessera-as.$$" 2>&1 ||
  { cat "${TMPDIR:-/tmp}/tessera-as.$$" >&2; note "the metainfo is refused"; }
rm -f "${TMPDIR:-/tmp}/tessera-as.$$"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/mime/packages"
cp app/install/tessera-mime.xml "$tmp/mime/packages/tessera.xml"
if ! XDG_DATA_DIRS=$tmp XDG_DATA_HOME=$tmp update-mime-database "$tmp/mime" 2>"$tmp/mime.err" || [ -s "$tmp/mime.err" ]; then
  cat "$tmp/mime.err" >&2; note "the MIME type file is refused"
fi

# Every page, every warning of man's formatter (groff) counts.
pages=("$build"/packaging/man/*.1)
[ -e "${pages[0]}" ] || note "no man pages in $build/packaging/man (is scdoc installed?)"
for page in "${pages[@]}"; do
  [ -e "$page" ] || continue
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || { echo "$warnings" >&2; note "man warns about $page"; }
done

bash -n packaging/completion/tessera-cli.bash packaging/completion/tessera.bash ||
  note "a bash completion does not parse"
if command -v zsh >/dev/null; then
  zsh -n packaging/completion/_tessera-cli && zsh -n packaging/completion/_tessera ||
    note "a zsh completion does not parse"
fi
bash scripts/check-completion.sh "$build" || note "the bash completion offers the wrong words"

# The package: made from the same build tree, judged by lintian (errors and warnings fail;
# the info tags are printed).
rm -rf "$out" && mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$OLDPWD/$out" >"$tmp/cpack.log" 2>&1) ||
  { cat "$tmp/cpack.log" >&2; note "cpack failed"; exit 1; }
deb=$(ls "$out"/tessera_*_amd64.deb)
rm -rf "$out/_CPack_Packages"
if dpkg-deb -c "$deb" | grep -E 'mime\.cache|/share/mime/[^p]' >&2; then
  note "the package ships a MIME database"
fi
if command -v lintian >/dev/null; then
  rc=0
  lintian --fail-on error,warning --display-info --suppress-tags binary-has-unneeded-section \
    "$deb" >"$tmp/lintian.log" 2>&1 || rc=$?
  grep -v 'running with root privileges' "$tmp/lintian.log" >&2 || true
  [ $rc -eq 0 ] || note "lintian refuses $deb"
else
  note "lintian is not installed"
fi
echo "check-package: $deb ($(stat -c %s "$deb") bytes)"
exit $fail
