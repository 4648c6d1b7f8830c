#!/usr/bin/env bash
# The external address watcher in torv.exe under wine, headless, against a
# local web server whose answer the test changes between runs: the baseline
# and the address file (in the program folder, whose name the ANSI code page
# cannot hold); a change seen against that file, the launch with TORV_IP and
# TORV_OLD_IP, and the alert command told `ip-changed`; then a failing
# service, logged once and alerted as `ip-check-failed`.
source "$(dirname "$0")/lib.sh"

SERVER_PID=""
trap '[[ -n "$SERVER_PID" ]] && kill "$SERVER_PID" 2>/dev/null; cleanup' EXIT
mkdir -p "$WORK/www"
printf '198.51.100.7\n' >"$WORK/www/ip"
PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$WORK/www" >/dev/null 2>&1 &
SERVER_PID=$!
wait_for "python3 -c 'import socket; socket.create_connection((\"127.0.0.1\", $PORT))' 2>/dev/null" 10 ||
  fail "the web server did not start"

M="$(winpath "$PROG/marker.exe")"
ADDRESS_FILE="$PROG/external-ip.txt"
write_config NORM "$(winpath "$XCHG")" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF "One" "\"$M\" \"$(winpath "$WORK/marks.txt")\" one"
printf '[ip]\r\nurl = http://127.0.0.1:%s/ip\r\nlaunch = "%s" "%s" dns\r\nwrite-to = %s\r\n[alert]\r\ncommand = "%s" "%s" alert\r\nevents = ip-changed, ip-check-failed\r\n' \
  "$PORT" "$M" "$(winpath "$WORK/dns.txt")" "$(winpath "$ADDRESS_FILE")" "$M" "$(winpath "$WORK/alerts.txt")" >"$PROG/torv.ini"

run_until_line() { # line pattern, seconds
  rm -f "$WORK/journal" "$WORK/errors"
  (cd "$WORK" && exec wine "$PROG/torv.exe" --headless >"$WORK/journal" 2>"$WORK/errors") &
  TORV_PID=$!
  wait_for "tr -d '\r' <\"$WORK/journal\" | grep -q \"$1\"" "$2" || fail "no line '$1': $(cat "$WORK/journal" "$WORK/errors")"
}
stop_torv() {
  kill "$TORV_PID" 2>/dev/null || true
  wait "$TORV_PID" 2>/dev/null || true
  TORV_PID=""
}

run_until_line "^External IP: 198.51.100.7$" 40
# The file is written just after the log line.
wait_for '[[ "$(tr -d "\r" <"$ADDRESS_FILE" 2>/dev/null)" == "198.51.100.7" ]]' 10 ||
  fail "address file: $(cat "$ADDRESS_FILE" 2>/dev/null)"
[[ ! -e "$WORK/dns.txt" ]] || fail "the baseline started the launch"
stop_torv

printf '<p>Your address: 203.0.113.9</p>\n' >"$WORK/www/ip"
run_until_line "^External IP Changed: 198.51.100.7 To 203.0.113.9 at:" 40
wait_for '[[ -s "$WORK/dns.txt" && -s "$WORK/alerts.txt" ]]' 15 || fail "the launch or the alert did not run"
grep -q "^dns .* ip=198.51.100.7->203.0.113.9$" <(tr -d '\r' <"$WORK/dns.txt") || fail "launch environment: $(cat "$WORK/dns.txt")"
grep -q "event=ip-changed message=External IP Changed: 198.51.100.7 To 203.0.113.9" "$WORK/alerts.txt" ||
  fail "no ip-changed alert: $(cat "$WORK/alerts.txt")"
[[ "$(tr -d '\r' <"$ADDRESS_FILE")" == "203.0.113.9" ]] || fail "address file not rewritten: $(cat "$ADDRESS_FILE")"
stop_torv

rm "$WORK/www/ip"
run_until_line "^External IP Check Failed: status 404$" 40
wait_for 'grep -q "event=ip-check-failed" "$WORK/alerts.txt"' 15 || fail "no ip-check-failed alert: $(cat "$WORK/alerts.txt")"
(($(wc -l <"$WORK/dns.txt") == 1)) || fail "a failed check started the launch"
[[ "$(tr -d '\r' <"$ADDRESS_FILE")" == "203.0.113.9" ]] || fail "a failed check touched the address file"
stop_torv
echo "PASS"
