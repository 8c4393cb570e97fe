#!/usr/bin/env bash
# The folders of src/ are layers, each one library: a source includes
# headers of its own folder and of the folders before it, never of a later
# one. Checks the quoted includes of every source, and that the build puts
# no later folder on an earlier folder's include path.
# Usage: check-layers.sh SOURCE_DIR COMPILE_COMMANDS_JSON
set -euo pipefail
src="$1/src"
commands="$2"
layers=(data output desktop widgets editing forms app)

rank() {
  local i
  for i in "${!layers[@]}"; do
    [[ "${layers[$i]}" == "$1" ]] && { echo "$i"; return; }
  done
  echo -1
}

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

for dir in "$src"/*/; do
  folder="$(basename "$dir")"
  (( $(rank "$folder") >= 0 )) || fail "src/$folder has no place among the layers"
done

for own in "${!layers[@]}"; do
  folder="${layers[$own]}"
  for file in "$src/$folder"/*.h "$src/$folder"/*.cpp; do
    [[ -e "$file" ]] || continue
    while read -r header; do
      [[ -e "$src/$header.in" ]] && continue # generated at configure time
      found=0
      for (( j = 0; j <= own; j++ )); do
        [[ -e "$src/${layers[$j]}/$header" ]] && found=1
      done
      if (( !found )); then
        owner="$(cd "$src" && ls -d -- */"$header" 2>/dev/null | head -n 1 || true)"
        fail "src/$folder/$(basename "$file") includes \"$header\" (${owner:-found nowhere in src})"
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
  done
done

# The compile commands: "command" comes before its "file".
checked=0
while IFS=$'\t' read -r file paths; do
  folder="${file#"$src"/}"
  folder="${folder%%/*}"
  own="$(rank "$folder")"
  checked=$((checked + 1))
  for path in $paths; do
    other="$(rank "${path#"$src"/}")"
    (( other <= own )) || fail "src/$folder/$(basename "$file") is built with src/${path#"$src"/} on its include path"
  done
done < <(awk -v src="$src" '
  /"command":/ { command = $0 }
  /"file":/ {
    file = $0; sub(/.*"file": "/, "", file); sub(/".*/, "", file)
    if (index(file, src "/") != 1) next
    paths = ""; rest = command
    while (match(rest, "-I" src "/[a-z]+( |\")")) {
      path = substr(rest, RSTART + 2, RLENGTH - 3); paths = paths " " path
      rest = substr(rest, RSTART + RLENGTH)
    }
    print file "\t" paths
  }' "$commands")
(( checked > 0 )) || fail "no source of src/ in $commands"

(( failures == 0 )) && echo "layers hold: ${layers[*]} ($checked sources built)"
exit $(( failures > 0 ))
