#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Tessera need,
# only those that are missing, so running it again costs nothing.
set -euo pipefail
pkgs=(cmake g++ ninja-build pkg-config
      qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev qt6-multimedia-dev
      qt6-translations-l10n qt6-qpa-plugins libqt6svg6
      libgtest-dev libgmock-dev libbenchmark-dev
      xvfb xauth fonts-ipafont-gothic socat perl ccache
      python3 python3-vobject python3-icalendar radicale
      qtkeychain-qt6-dev
      clang libclang-rt-14-dev clang-format
      # the Linux install: man pages, completion, metainfo, desktop entry, the .deb's checks
      scdoc man-db bash-completion zsh appstream desktop-file-utils shared-mime-info
      lintian dpkg-dev file
      libqt6printsupport6 poppler-utils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}" >&2
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
