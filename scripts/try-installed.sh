#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine (as root) and uses
# the installed Trevasc as a fresh user would under Xvfb: files opened
# through the desktop's file associations (gio open, as a file manager's
# double click) go to the one running program; after Exit the settings are
# in the user's configuration folder and a new start lists the recent
# catalogs. Screenshots go to screenshots/installed-*.png. The package and
# the user are removed again at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ $(id -u) == 0 ]] || { echo "run as root: it installs a package and adds a user" >&2; exit 1; }
TREVASC_SCREENSHOT_DEPS=1 scripts/deps.sh
apt-get install -y -qq libglib2.0-bin >/dev/null # gio
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target trevasc >/dev/null

user=trevasc-try
out="$PWD/screenshots"
work="$(mktemp -d)"
mkdir -p "$out"
chmod 755 "$work"
cleanup() {
  pkill -u "$user" 2>/dev/null || true
  kill "${xvfb:-0}" 2>/dev/null || true
  dpkg -r trevasc >/dev/null 2>&1 || true
  userdel -r "$user" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cpack --config build/CPackConfig.cmake -G DEB -B "$work/pkg" >/dev/null
dpkg -i "$work"/pkg/trevasc_*.deb >/dev/null
trevasc --version
useradd -m "$user"
python3 scripts/make-demo-catalog.py "$work/dances.cat" a
python3 scripts/make-demo-catalog.py "$work/shapes.cat" b
python3 scripts/make-demo-ilda.py "$work/demo.ild"
chmod a+r "$work"/*.cat "$work"/*.ild

export DISPLAY=:79
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp &
xvfb=$!
sleep 1
as_user() { su "$user" -c "cd && export DISPLAY=$DISPLAY XDG_RUNTIME_DIR=$work/run && $1"; }
mkdir -p "$work/run" && chown "$user" "$work/run" && chmod 700 "$work/run"

as_user "gio open $work/dances.cat" &
sleep 3
as_user "gio open $work/demo.ild"
sleep 2
as_user "gio open $work/shapes.cat"
sleep 2
echo "programs running: $(pgrep -u "$user" -c trevasc)" # one
import -window root "$out/installed-opened.png"

# Exit, answering No for the imported catalog that was never saved.
win=$(xdotool search --onlyvisible --name '^Trevasc$' | head -1)
xdotool windowfocus --sync "$win" key alt+f
sleep 0.5
xdotool key x
sleep 1
xdotool key alt+n
sleep 1.5
ini="$(getent passwd "$user" | cut -d: -f6)/.config/Trevasc/Trevasc.ini"
echo "== $ini"
cat "$ini"

as_user "trevasc >/dev/null 2>&1 &"
win=$(xdotool search --sync --onlyvisible --name '^Trevasc$' | head -1)
sleep 1
xdotool windowfocus --sync "$win" key alt+f
sleep 0.7
import -window root "$out/installed-recent.png"
echo "Screenshots in $out/installed-*.png"
