#!/usr/bin/env bash
# Installs the build into a scratch folder and checks what a user gets: the
# installed files, the desktop file, AppStream data and file types through
# their validators, the file types as Qt resolves them against the system's
# database, and the Debian package with its fields and contents.
#   check-install.sh BUILD_DIR VERSION MIME_TEST_PROGRAM
# Every failed check is reported; the exit status is the number of failures.
set -uo pipefail
build=$1 version=$2 mime_test=$3
here="$(cd "$(dirname "$0")" && pwd)"
app=org.trevasc.Trevasc
types=(application/x-zlt-catalog application/x-zlt-picture application/x-zlt-palette application/x-ilda)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Runs a validator; any error or warning line fails, other lines are shown.
validate() { # name, pattern of failing lines, command...
  local name=$1 bad=$2 out rc
  shift 2
  out="$("$@" 2>&1)"
  rc=$?
  [[ -n "$out" ]] && echo "$name: $out"
  if ((rc != 0)) || grep -Eq "$bad" <<<"$out"; then
    fail "$name"
  fi
}
sorted_words() { tr ' ;' '\n\n' | sed '/^$/d' | sort; }

echo "== install into a scratch folder"
root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install"
expected="$(
  cat <<EOF
./usr/bin/trevasc
./usr/bin/trevasc-convert
./usr/share/applications/$app.desktop
./usr/share/icons/hicolor/128x128/apps/$app.png
./usr/share/icons/hicolor/16x16/apps/$app.png
./usr/share/icons/hicolor/256x256/apps/$app.png
./usr/share/icons/hicolor/32x32/apps/$app.png
./usr/share/icons/hicolor/48x48/apps/$app.png
./usr/share/icons/hicolor/64x64/apps/$app.png
./usr/share/icons/hicolor/scalable/apps/$app.svg
./usr/share/metainfo/$app.metainfo.xml
./usr/share/mime/packages/$app.xml
EOF
)"
installed="$(cd "$root" && find . ! -type d | LC_ALL=C sort)"
diff <(echo "$expected" | LC_ALL=C sort) <(echo "$installed") || fail "installed files differ (< expected, > installed)"

for program in trevasc trevasc-convert; do
  [[ -x "$root/usr/bin/$program" ]] || fail "$program is not executable"
  file -b "$root/usr/bin/$program" | grep -q '^ELF' || fail "$program is not an ELF program"
  readelf -d "$root/usr/bin/$program" 2>/dev/null | grep -Eq 'R(UN)?PATH' && fail "$program carries a run path"
done
# The batch converter runs where there is no display: no widgets (Qt Gui
# only for the SVG renderer, without a display).
ldd "$root/usr/bin/trevasc-convert" | grep -E 'libQt6Widgets' && fail "trevasc-convert links Qt's widgets"
[[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/trevasc-convert" --version)" == "trevasc-convert $version" ]] ||
  fail "installed trevasc-convert --version"
for size in 16 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${size}x$size/apps/$app.png"
  file -b "$png" 2>/dev/null | grep -q "^PNG image data, $size x $size, 8-bit/color RGBA" ||
    fail "icon ${size}x$size is not a $size-pixel RGBA PNG"
done
svg="$root/usr/share/icons/hicolor/scalable/apps/$app.svg"
[[ "$(xmllint --xpath 'name(/*)' "$svg" 2>/dev/null)" == svg ]] || fail "scalable icon is not an SVG"

echo "== desktop file"
desktop="$root/usr/share/applications/$app.desktop"
validate desktop-file-validate '(error|warning):' desktop-file-validate "$desktop"
key() { sed -n "s/^$1=//p" "$desktop"; }
[[ "$(key Exec)" == "trevasc %F" ]] || fail "Exec is '$(key Exec)'"
[[ "$(key Icon)" == "$app" ]] || fail "Icon is '$(key Icon)'"
for k in 'Name' 'GenericName' 'GenericName\[de\]' 'Comment' 'Comment\[de\]' 'Keywords' 'Keywords\[de\]'; do
  [[ -n "$(key "$k")" ]] || fail "desktop file lacks $k"
done
key Categories | grep -q '^Graphics;' || fail "Categories do not start with Graphics"
[[ "$(key MimeType | sorted_words)" == "$(printf '%s\n' "${types[@]}" | sort)" ]] ||
  fail "MimeType is '$(key MimeType)'"

echo "== AppStream data"
metainfo="$root/usr/share/metainfo/$app.metainfo.xml"
validate appstreamcli '^[EW]:' appstreamcli validate --no-net --pedantic "$metainfo"
meta() { xmllint --xpath "$1" "$metainfo" 2>/dev/null; }
[[ "$(meta 'string(/component/id)')" == "$app" ]] || fail "metainfo id"
[[ "$(meta 'string(/component/launchable[@type="desktop-id"])')" == "$app.desktop" ]] || fail "metainfo launchable"
[[ "$(meta 'string(/component/releases/release[1]/@version)')" == "$version" ]] ||
  fail "metainfo release is not $version"
[[ "$(meta '/component/provides/binary/text()' | sorted_words)" == "$(printf '%s\n' trevasc trevasc-convert)" ]] ||
  fail "metainfo provides not the binaries trevasc and trevasc-convert"
[[ "$(meta '/component/provides/mediatype/text()' | sorted_words)" == "$(printf '%s\n' "${types[@]}" | sort)" ]] ||
  fail "metainfo media types differ from the file types"
[[ -n "$(meta 'string(/component/screenshots/screenshot/image)')" ]] || fail "metainfo has no screenshot"
[[ -n "$(meta 'string(/component/content_rating/@type)')" ]] || fail "metainfo has no content rating"
# The description names what the program does beyond catalogs, in both languages.
for word in ILDA undo preview; do
  meta '/component/description/*[not(@xml:lang)]' | grep -i "$word" >/dev/null || fail "metainfo description does not name $word"
done
for word in ILDA rückgängig Vorschau; do
  meta '/component/description/*[@xml:lang="de"]' | grep -i "$word" >/dev/null || fail "German metainfo description does not name $word"
done

echo "== file types"
mimexml="$root/usr/share/mime/packages/$app.xml"
# The system's own schema is the document type inside its type list.
sed -n '/<!DOCTYPE mime-info \[/,/^\]>/p' /usr/share/mime/packages/freedesktop.org.xml | sed '1d;$d' >"$work/mime.dtd"
validate xmllint '.' xmllint --noout --dtdvalid "$work/mime.dtd" "$mimexml"
[[ "$(xmllint --xpath '//*[local-name()="mime-type"]/@type' "$mimexml" 2>/dev/null |
  sed 's/ *type="\([^"]*\)"/\1 /g' | sorted_words)" == "$(printf '%s\n' "${types[@]}" | sort)" ]] ||
  fail "MIME XML does not define exactly the four types"

xdg="$work/xdg"
mkdir -p "$xdg/mime/packages" "$work/home"
cp /usr/share/mime/packages/*.xml "$mimexml" "$here/other-programs.xml" "$xdg/mime/packages/"
validate update-mime-database '.' env XDG_DATA_DIRS="$xdg" XDG_DATA_HOME="$work/home" \
  update-mime-database "$xdg/mime"
XDG_DATA_DIRS="$xdg" XDG_DATA_HOME="$work/home" QT_QPA_PLATFORM=offscreen "$mime_test" ||
  fail "file types as Qt resolves them"

echo "== Debian package"
arch="$(dpkg --print-architecture)"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/pkg/trevasc_${version}_$arch.deb"
if [[ ! -f "$deb" ]]; then
  fail "no package $(basename "$deb"); made: $(cd "$work/pkg" && ls -- *.deb 2>/dev/null)"
else
  dpkg-deb -I "$deb"
  field() { dpkg-deb -f "$deb" "$1"; }
  [[ "$(field Package)" == trevasc ]] || fail "Package is '$(field Package)'"
  [[ "$(field Version)" == "$version" ]] || fail "Version is '$(field Version)'"
  [[ "$(field Architecture)" == "$arch" ]] || fail "Architecture is '$(field Architecture)'"
  [[ "$(field Section)" == graphics ]] || fail "Section is '$(field Section)'"
  field Maintainer | grep -Eq '^[^<>]+ <[^@<> ]+@[^@<> ]+>$' || fail "Maintainer is '$(field Maintainer)'"
  for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    field Depends | grep -Eq "(^|, )${lib//+/\\+} \(>= [^)]+\)" || fail "Depends lacks a versioned $lib"
  done
  for package in qt6-translations-l10n libqt6svg6 hershey-fonts-data; do
    field Depends | grep -E "(^|, )$package(,|$| )" >/dev/null || fail "Depends lacks $package"
  done
  for word in ILDA undo preview; do
    field Description | grep -i "$word" >/dev/null || fail "package description does not name $word"
  done

  contents="$(dpkg-deb -c "$deb")"
  echo "$contents"
  grep -v ' root/root ' <<<"$contents" && fail "files not owned by root"
  packaged="$(awk '$1 !~ /^d/ { print $6 }' <<<"$contents" | LC_ALL=C sort)"
  diff <(echo "$installed") <(echo "$packaged") || fail "package files differ from the install (< install, > package)"
  dpkg-deb -x "$deb" "$work/deb"
  for program in trevasc trevasc-convert; do
    file -b "$work/deb/usr/bin/$program" | grep -q ', stripped' || fail "packaged $program is not stripped"
  done
  for f in $(grep -v '/bin/' <<<"$installed"); do
    cmp -s "$root/$f" "$work/deb/$f" || fail "packaged $f differs from the installed one"
  done
fi

((failures == 0)) && echo "All install and package checks passed." || echo "$failures check(s) failed."
exit "$failures"
