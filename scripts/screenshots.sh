#!/usr/bin/env bash
# Starts Trevasc under Xvfb, opens two demo catalogs and saves screenshots
# of the main window in English and German, of the overwrite question, of a
# catalog after a drag and of the frame preview, into screenshots/.
# TREVASC_SHOTS=german takes only the German dialogs and messages.
set -euo pipefail
cd "$(dirname "$0")/.."
TREVASC_SCREENSHOT_DEPS=1 scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target trevasc >/dev/null

out="$PWD/screenshots"
work="$(mktemp -d)"
mkdir -p "$out"
trap 'kill "${app:-0}" "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

python3 scripts/make-demo-catalog.py "$work/dances.cat" a
python3 scripts/make-demo-catalog.py "$work/shapes.cat" b
python3 scripts/make-demo-ilda.py "$work/demo.ild"

export DISPLAY=:77
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp &
xvfb=$!
sleep 1

ini="build/bin/Trevasc.ini"
[[ -f "$ini" ]] && cp "$ini" "$work/ini.backup"

# Bare Xvfb has no window manager: give the main window the focus by hand.
focus() { xdotool windowfocus --sync "$win" 2>/dev/null || true; }

# Starts Trevasc with the settings file as it is, its main window placed.
start_app() {
  build/bin/trevasc &
  app=$!
  win=$(xdotool search --sync --onlyvisible --name '^Trevasc$' | head -1)
  xdotool windowsize "$win" 1200 760 windowmove "$win" 20 20 || true
  sleep 1
}

stop_app() {
  kill "$app"
  wait "$app" 2>/dev/null || true
}

open_catalog() { # types a path into the open dialog
  focus
  xdotool key --clearmodifiers ctrl+o
  sleep 1
  xdotool type --delay 5 "$1"
  xdotool key Return
  sleep 1
}

shoot() { # language number, picture name
  printf '[Application]\r\nLanguage=%s\r\nPathToPalettes=C:\\laser\\\r\n' "$1" >"$ini"
  start_app
  xdotool windowactivate --sync "$win" || true
  open_catalog "$work/dances.cat"
  open_catalog "$work/shapes.cat"
  xdotool windowactivate --sync "$win" || true
  sleep 1
  import -window root "$out/$2.png"
  stop_app
}

# German throughout: the open and save dialogs, an error with the system's
# reason (saving where no file may be created), the overwrite question and
# the question about unsaved changes, all with Qt's own texts in German.
german_dialogs() {
  printf '[Application]\r\nLanguage=1\r\nPathToPalettes=C:\\laser\\\r\n' >"$ini"
  start_app
  focus
  xdotool key --clearmodifiers ctrl+o
  sleep 1
  xdotool type --delay 5 "$work/"
  xdotool key Return
  sleep 1
  import -window root "$out/german-open-dialog.png"
  xdotool key Escape # the name completer's list
  sleep 0.3
  xdotool key Escape
  sleep 0.5
  open_catalog "$work/dances.cat"
  focus
  xdotool key --clearmodifiers alt+d
  sleep 0.5
  xdotool key --clearmodifiers u
  sleep 1
  import -window root "$out/german-save-dialog.png"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 5 "/sys/frames.cat"
  xdotool key Return
  sleep 1
  import -window root "$out/german-error-reason.png"
  xdotool key Return
  sleep 0.5
  xdotool key Escape
  sleep 0.5
  # Copy the first slot onto the used third: the overwrite question.
  focus
  xdotool mousemove "$(cell_x 0)" 165 click 1
  sleep 0.5
  xdotool key ctrl+c
  xdotool mousemove "$(cell_x 2)" 165 click 1
  sleep 0.5
  xdotool key ctrl+v
  sleep 1
  import -window root "$out/german-overwrite-question.png"
  xdotool key Escape
  sleep 0.5
  # A deleted slot leaves changes; closing asks about them.
  xdotool mousemove "$(cell_x 2)" 165 click 1
  sleep 0.3
  xdotool key Delete
  sleep 0.5
  focus
  xdotool key --clearmodifiers alt+d
  sleep 0.5
  xdotool key --clearmodifiers b
  sleep 1
  import -window root "$out/german-unsaved-question.png"
  xdotool key Escape
  sleep 0.5
  stop_app
}

# Slot centres in the window layout below: the first catalog's thumbnails at
# y=165, the second's at y=365, 104 pixels per slot from x=25.
cell_x() { echo $((25 + 104 * $1 + 52)); }

if [[ "${TREVASC_SHOTS:-}" == german ]]; then
  german_dialogs
  if [[ -f "$work/ini.backup" ]]; then cp "$work/ini.backup" "$ini"; else rm -f "$ini"; fi
  echo "Screenshots in $out"
  exit 0
fi

shoot 0 main-english
shoot 1 main-german
german_dialogs

# Frame moves, in English.
moves() {
  printf '[Application]\r\nLanguage=0\r\nPathToPalettes=C:\\laser\\\r\n' >"$ini"
  start_app
  open_catalog "$work/dances.cat"
  open_catalog "$work/shapes.cat"
  # Copy slot 1 of the second catalog and paste it onto the used slot 3.
  xdotool mousemove "$(cell_x 1)" 365 click 1
  sleep 0.5
  xdotool key ctrl+c
  xdotool mousemove "$(cell_x 3)" 365 click 1
  sleep 0.5
  xdotool key ctrl+v
  sleep 1
  import -window root "$out/overwrite-question.png"
  xdotool key Escape
  sleep 0.5
  # Drag the spiral (slot 6 of the first catalog) onto the empty slot 2 of the second.
  xdotool mousemove "$(cell_x 6)" 165 mousedown 1
  for dx in 10 40 120 300; do xdotool mousemove_relative -- "-$dx" 40; sleep 0.2; done
  xdotool mousemove "$(cell_x 2)" 365
  sleep 0.5
  xdotool mouseup 1
  sleep 1
  import -window root "$out/after-drag.png"
  stop_app
}
moves

# The grid's context menu (no images) in both languages, and the save dialog
# refusing a name in a folder that does not exist.
menus() { # language number, suffix, File menu key, accelerator of Save As
  printf '[Application]\r\nLanguage=%s\r\nPathToPalettes=C:\\laser\\\r\n' "$1" >"$ini"
  start_app
  open_catalog "$work/dances.cat"
  xdotool mousemove "$(cell_x 2)" 165 click 3
  sleep 1
  import -window root "$out/popup-menu-$2.png"
  xdotool key Escape
  sleep 0.5
  focus
  xdotool key --clearmodifiers "$3"
  sleep 0.5
  xdotool key --clearmodifiers "$4"
  sleep 1
  xdotool type --delay 5 "$work/no-such-folder/frames.cat"
  xdotool key Return
  sleep 1
  import -window root "$out/save-missing-folder-$2.png"
  stop_app
}
menus 0 english alt+f a
menus 1 german alt+d u

# ILDA: import a file made as other programs write them, export it again
# (true colour, the dialog's first filter) and import the export beside it.
ilda() {
  printf '[Application]\r\nLanguage=0\r\nPathToPalettes=C:\\laser\\\r\n' >"$ini"
  start_app
  menu_command() { # accelerator in the File menu, path to type
    focus
    xdotool key --clearmodifiers alt+f
    sleep 0.5
    xdotool key --clearmodifiers "$1"
    sleep 1
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 5 "$2"
    xdotool key Return
    sleep 1
  }
  menu_command l "$work/demo.ild"
  import -window root "$out/ilda-imported.png"
  menu_command d "$work/exported.ild"
  menu_command l "$work/exported.ild"
  xdotool key --clearmodifiers ctrl+F6 2>/dev/null || true
  sleep 0.5
  import -window root "$out/ilda-reimported.png"
  stop_app
}
ilda

# Undo: three slots deleted, the Edit menu naming the step, then Ctrl+Z in
# the goto field bringing the frames back.
undo_shots() { # language number, picture name, key of the Edit menu
  printf '[Application]\r\nLanguage=%s\r\nPathToPalettes=C:\\laser\\\r\n' "$1" >"$ini"
  start_app
  open_catalog "$work/dances.cat"
  xdotool mousemove "$(cell_x 2)" 165 click 1
  sleep 0.3
  xdotool keydown shift mousemove "$(cell_x 4)" 165 click 1 keyup shift
  sleep 0.3
  xdotool key Delete
  sleep 0.5
  xdotool key "$3"
  sleep 1
  import -window root "$out/$2-menu.png"
  xdotool key Escape
  sleep 0.3
  xdotool key Tab # from the grid to the goto field
  sleep 0.3
  xdotool key ctrl+z
  sleep 1
  import -window root "$out/$2-done.png"
  stop_app
}
undo_shots 0 undo-english alt+e
undo_shots 1 undo-german alt+b

# The frame preview beside the catalogs, in both languages: the dashed ring
# of the first catalog (slot 16, reached by the goto field) selected, its
# blanked moves shown in German; the Window menu with the preview's entry and
# the File menu with the two catalogs just opened among the recent ones.
preview() { # language number, suffix, blanked moves, Window menu key, File menu key
  printf '[Application]\r\nLanguage=%s\r\nPathToPalettes=C:\\laser\\\r\n\r\n[Preview]\r\nVisible=1\r\nShowBlankedMoves=%s\r\n' \
    "$1" "$3" >"$ini"
  start_app
  open_catalog "$work/dances.cat"
  xdotool key ctrl+a
  xdotool type --delay 5 16
  open_catalog "$work/shapes.cat"
  xdotool mousemove "$(cell_x 0)" 165 click 1
  sleep 1
  import -window root "$out/preview-$2.png"
  focus
  xdotool key --clearmodifiers "$4"
  sleep 1
  import -window root "$out/window-menu-$2.png"
  xdotool key Escape
  sleep 0.3
  xdotool key --clearmodifiers "$5"
  sleep 1
  import -window root "$out/file-menu-$2.png"
  xdotool key Escape
  stop_app
}
preview 0 english 0 alt+w alt+f
preview 1 german 1 alt+f alt+d

if [[ -f "$work/ini.backup" ]]; then cp "$work/ini.backup" "$ini"; else rm -f "$ini"; fi
echo "Screenshots in $out"
