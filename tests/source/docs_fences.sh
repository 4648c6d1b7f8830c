#!/usr/bin/env bash
# Every code fence in the documentation closes: one left open turns the rest
# of the page into code. A fence with a language inside an open block is one
# that was meant to open a new block.
set -uo pipefail
status=0
for f in "$1"/*.md; do
  awk -v file="$f" '
    /^ *```/ {
      rest = $0; sub(/^ *```/, "", rest)
      if (!open) { open = NR; next }
      if (rest != "") { print file ":" NR ": a fence opens inside the block of line " open; bad = 1 }
      open = 0
    }
    END { if (open) { print file ":" open ": the fence never closes"; bad = 1 } exit bad }
  ' "$f" || status=1
done
exit $status
