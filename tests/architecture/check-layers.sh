#!/usr/bin/env bash
# The folders of src/ are layers, each one library: a source includes
# headers of its own folder and of the folders before it, never of a later
# one. A program beside the layers (convert) uses only the folders it names.
# Checks the quoted includes of every source, and that the build puts no
# folder a source may not use on its include path.
# Usage: check-layers.sh SOURCE_DIR COMPILE_COMMANDS_JSON
set -euo pipefail
src="$1/src"
commands="$2"
layers=(data output desktop widgets editing vector forms app)
# The programs without windows: the folders each may use besides its own.
declare -A programs=([convert]="data output desktop editing vector")

rank() {
  local i
  for i in "${!layers[@]}"; do
    [[ "${layers[$i]}" == "$1" ]] && { echo "$i"; return; }
  done
  echo -1
}

# The folders a folder may use: its own and the ones before it, or a
# program's own and the ones it names.
usable() {
  if [[ -n "${programs[$1]+set}" ]]; then
    echo "$1 ${programs[$1]}"
    return
  fi
  local own j
  own="$(rank "$1")"
  for (( j = 0; j <= own; j++ )); do echo "${layers[$j]}"; done
}
may_use() { # folder, other folder
  local f
  for f in $(usable "$1"); do [[ "$f" == "$2" ]] && return 0; done
  return 1
}

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

for dir in "$src"/*/; do
  folder="$(basename "$dir")"
  (( $(rank "$folder") >= 0 )) || [[ -n "${programs[$folder]+set}" ]] ||
    fail "src/$folder has no place among the layers"
done

for folder in "${layers[@]}" "${!programs[@]}"; do
  for file in "$src/$folder"/*.h "$src/$folder"/*.cpp; do
    [[ -e "$file" ]] || continue
    while read -r header; do
      [[ -e "$src/$header.in" ]] && continue # generated at configure time
      found=0
      for other in $(usable "$folder"); do
        [[ -e "$src/$other/$header" ]] && found=1
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
  checked=$((checked + 1))
  for path in $paths; do
    may_use "$folder" "${path#"$src"/}" ||
      fail "src/$folder/$(basename "$file") is built with src/${path#"$src"/} on its include path"
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

(( failures == 0 )) && echo "layers hold: ${layers[*]}, beside them ${!programs[*]} ($checked sources built)"
exit $(( failures > 0 ))
