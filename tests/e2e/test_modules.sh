#!/usr/bin/env bash
# A program folder without the web and crypto modules still runs headless and
# never maps libcurl or libcrypto: a web check fails saying the module is
# missing, and a key refuses every command (key-unusable), as does --new-key.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
rm "$PROG/torv-web.so" "$PROG/torv-crypto.so"

! "$PROG/torv" --new-key >"$WORK/newkey" 2>&1 || fail "--new-key made a key without the crypto module"
grep -qx "The crypto module is missing; no key can be made." "$WORK/newkey" || fail "--new-key said: $(cat "$WORK/newkey")"
[[ ! -e "$PROG/remote.key" ]] || fail "--new-key left a key file"
install -m 600 /dev/null "$PROG/remote.key"
printf '%064d\n' 0 >"$PROG/remote.key"

printf '#!/bin/sh\ntouch "%s/ran"\n' "$WORK" >"$WORK/task.sh"
chmod +x "$WORK/task.sh"
write_config NORM "$XCHG" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF "Web" "$WORK/task.sh"
printf '[task 1]\nready = http://127.0.0.1:1/\ntimeout = 1\n' >"$PROG/torv.ini"
(cd "$WORK" && exec "$PROG/torv" --headless >"$WORK/out" 2>"$WORK/err") &
TORV_PID=$!
wait_for 'grep -q "(the web module is missing)" "$WORK/err"' 10 || fail "no missing web module: $(cat "$WORK/err")"
wait_for 'grep -qx "REMOTE KEY NOT USED: the crypto module is missing; commands are refused" "$WORK/out"' 10 ||
  fail "the key was not refused"
printf 'report\r\n' >"$XCHG/command.txt"
wait_for 'grep -q "^REFUSED UNSIGNED COMMAND (key-unusable) at:" "$XCHG/Result.txt" 2>/dev/null' 25 ||
  fail "the command was not refused key-unusable"
! grep -qE 'libcurl|libcrypto' "/proc/$TORV_PID/maps" || fail "libcurl or libcrypto is mapped"
echo "PASS"
