#!/usr/bin/env bash
# The external address watcher on the real binary, headless, against a local
# web server whose answer the test changes between runs: the first check 10 s
# after start-up takes the baseline and writes the address file; the next run
# sees the change against that file, starts the update script with the two
# addresses and the remote report holds the lines; then a failing service.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY

SERVER_PID=""
trap '[[ -n "$SERVER_PID" ]] && kill "$SERVER_PID" 2>/dev/null; cleanup' EXIT

mkdir -p "$WORK/www"
printf '198.51.100.7\n' >"$WORK/www/ip"
PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$WORK/www" >/dev/null 2>&1 &
SERVER_PID=$!
wait_for "python3 -c 'import socket; socket.create_connection((\"127.0.0.1\", $PORT))' 2>/dev/null" 10 ||
  fail "the web server did not start"

printf '#!/bin/sh\necho "$TORV_OLD_IP -> $TORV_IP" >> "%s/dns.log"\n' "$WORK" >"$WORK/update dns.sh"
chmod +x "$WORK/update dns.sh"
write_config NORM "$XCHG" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF "One" /bin/true
cat >"$PROG/torv.ini" <<INI
[ip]
url = http://127.0.0.1:$PORT/ip
every = 60
launch = "$WORK/update dns.sh" --now
write-to = $WORK/external-ip.txt
alarm = on
INI

run_until_line() { # line pattern, seconds
  rm -f "$WORK/out" "$WORK/err"
  (cd "$WORK" && exec "$PROG/torv" --headless >"$WORK/out" 2>"$WORK/err") &
  TORV_PID=$!
  wait_for "grep -q \"$1\" \"$WORK/out\"" "$2" || fail "no line '$1': $(cat "$WORK/out" "$WORK/err")"
}
stop_torv() {
  kill -TERM "$TORV_PID"
  wait_for '! torv_running' 10 || fail "the console did not end"
  wait "$TORV_PID" || true
  TORV_PID=""
}

# --- The baseline.
run_until_line "^External IP: 198.51.100.7$" 20
# The file is written just after the log line.
wait_for '[[ "$(cat "$WORK/external-ip.txt" 2>/dev/null)" == "198.51.100.7" ]]' 5 ||
  fail "address file: $(cat "$WORK/external-ip.txt" 2>/dev/null)"
[[ ! -e "$WORK/dns.log" ]] || fail "the baseline started the update script"
stop_torv

# --- A change while the console was not running.
printf '<p>Your address: 203.0.113.9</p>\n' >"$WORK/www/ip"
run_until_line "^External IP Changed: 198.51.100.7 To 203.0.113.9 at:" 20
wait_for '[[ -s "$WORK/dns.log" ]]' 5 || fail "the update script did not run"
[[ "$(cat "$WORK/dns.log")" == "198.51.100.7 -> 203.0.113.9" ]] || fail "script environment: $(cat "$WORK/dns.log")"
[[ "$(cat "$WORK/external-ip.txt")" == "203.0.113.9" ]] || fail "address file not rewritten"
printf 'report\r\n' >"$XCHG/command.txt"
wait_for 'grep -q "^External IP Changed: 198.51.100.7 To 203.0.113.9" "$XCHG/Result.txt" 2>/dev/null' 15 ||
  fail "the report lacks the change: $(cat "$XCHG/Result.txt" 2>/dev/null)"
stop_torv

# --- A service that fails: one line, nothing rewritten, nothing started.
rm "$WORK/www/ip"
run_until_line "^External IP Check Failed: status 404$" 20
[[ "$(wc -l <"$WORK/dns.log")" -eq 1 ]] || fail "a failed check started the script"
[[ "$(cat "$WORK/external-ip.txt")" == "203.0.113.9" ]] || fail "a failed check touched the address file"
stop_torv
echo "PASS"
