#!/usr/bin/env bash
# Installs the Debian packages Trevasc needs to build, test and run, when
# any of them is missing. Uses sudo when not run as root.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  qt6-svg-dev hershey-fonts-data # SVG import, single-stroke fonts for text frames
  qt6-translations-l10n      # Qt's own texts in German
  clang libclang-rt-14-dev   # fuzzers and sanitizers
  fonts-dejavu-core          # text in windows drawn without a display
  tshark                     # decodes the laser output's datagrams in a test
  xvfb xdotool               # a test ends the real program under an X server of its own
  # install and package checks: validators, MIME database, Debian package tools
  desktop-file-utils appstream libxml2-utils shared-mime-info dpkg-dev file
)
if [[ "${TREVASC_SCREENSHOT_DEPS:-0}" == 1 ]]; then
  PACKAGES+=(xvfb xauth imagemagick x11-utils xdotool python3)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

SUDO=()
[[ "$(id -u)" -ne 0 ]] && SUDO=(sudo)
echo "Installing: ${missing[*]}"
"${SUDO[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
