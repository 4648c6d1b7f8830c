#!/usr/bin/env bash
# Every #include in src/ must point down the layers (docs/architecture.md):
#
#   app > headless > console > sequencer, supervisor, remote, editor, alerts, ipwatch > core
#       > settings, tray, cpumon > platform (the adapters) > base > ports
#
# A folder may include its own layer and any layer below it, with one
# exception: the logic (settings up to headless) sees the platform only
# through the ports, so it never includes an adapter. Only the Qt views
# among it (files that include Qt themselves) may use the Qt helpers in
# platform/qt/. Only app/ wires adapters in. An include that breaks a rule is
# printed as file:line and fails the test; so does a folder that is not in the
# picture, so that a new one gets its place first.
# Usage: include_direction.sh [SOURCE_ROOT]   (default: the project's src/)
set -euo pipefail
SRC="${1:-$(cd "$(dirname "$0")/../../src" && pwd)}"

# The layer of a path below src/ (a file or an included header).
layer_of() {
    case "$1" in
    app/*) echo 8 ;;
    headless/*) echo 7 ;;
    console/*) echo 6 ;;
    sequencer/* | supervisor/* | remote/* | editor/* | alerts/* | ipwatch/*) echo 5 ;;
    core/*) echo 4 ;;
    settings/* | tray/* | cpumon/*) echo 3 ;;
    platform/posix/* | platform/win32/* | platform/qt/*) echo 2 ;;
    platform/*/*) echo "" ;; # a platform folder that is not in the picture
    platform/*) echo 2 ;;
    base/*) echo 1 ;;
    ports/*) echo 0 ;;
    *) echo "" ;;
    esac
}

up=0
unplaced=0
while IFS= read -r file; do
    rel="${file#"$SRC"/}"
    own="$(layer_of "$rel")"
    if [[ -z "$own" ]]; then
        echo "$rel: its folder has no place in the layers" >&2
        unplaced=$((unplaced + 1))
        continue
    fi
    uses_qt=0
    grep -qE '^[ \t]*#[ \t]*include[ \t]*<Q' "$file" && uses_qt=1
    # Only project headers: "folder/Name.h".
    while IFS=: read -r line header; do
        target="$(layer_of "$header")"
        [[ -z "$target" ]] && continue # a header of the same folder or of a library
        if ((target > own)); then
            echo "$rel:$line: includes $header, a layer above" >&2
            up=$((up + 1))
        elif ((target == 2 && own > 2 && own < 8)) && ! [[ $header == platform/qt/* && $uses_qt == 1 ]]; then
            echo "$rel:$line: includes the adapter $header; the logic sees the platform through ports/" >&2
            up=$((up + 1))
        fi
    done < <(awk '/^[ \t]*#[ \t]*include[ \t]*"[^"]*\/[^"]*"/ {
        h = $0; sub(/^[^"]*"/, "", h); sub(/".*/, "", h); print FNR ":" h }' "$file")
done < <(find "$SRC" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

echo "includes pointing up or into the adapters: $up; files outside the layers: $unplaced"
((up == 0 && unplaced == 0))
