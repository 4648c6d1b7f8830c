#!/usr/bin/env bash
# Text is UTF-8 inside: the sources convert it with fromUtf8/toUtf8 at Qt and
# with the wide Win32 functions at the OS, never through the ANSI code page
# (a Local8Bit conversion or an ...A function such as CreateFileA).
set -uo pipefail
SRC="$1"
status=0
if hits=$(grep -rnE 'Local8Bit' "$SRC"); then
  echo "Local8Bit conversions:"$'\n'"$hits"
  status=1
fi
if hits=$(grep -rnE '\b[A-Z][A-Za-z0-9_]*[a-z0-9]A[[:space:]]*\(' "$SRC" --include='*.cpp' --include='*.h'); then
  echo "ANSI Win32 functions:"$'\n'"$hits"
  status=1
fi
exit $status
