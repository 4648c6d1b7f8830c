#!/usr/bin/env bash
# The real console against bad files, planted links and missing rights. For
# every case: the window appears (or stays) and a click on Clear still changes
# the log box, the process stays idle, and nothing outside the case's own
# folders changes. Start-up cases run one after another in one program folder;
# remote and rights cases each get a console of their own and run side by side
# on one X server, so their ten-second polls overlap.
source "$(dirname "$0")/lib.sh"

# Cases waiting for a fix elsewhere: name -> the fix they need. Such a case is
# skipped with that note (and the note says so in the output).
declare -A PENDING=()

#  name          kind    what is planted
CASES=(
  "cfg-fifo      start   config.ini is a named pipe"
  "cfg-zero      start   config.ini is a link to /dev/zero"
  "cfg-junk      start   config.ini is 50 MB of random bytes"
  "cfg-cr        start   config.ini with CR-only line ends"
  "comments-fifo start   comments.txt is a named pipe, comments on"
  "cmd-fifo      remote  command.txt is a named pipe"
  "cmd-folder    remote  command.txt is a folder"
  "cmd-zero      remote  command.txt is a link to /dev/zero"
  "cmd-sparse    remote  command.txt is a 1 GB sparse file"
  "cmd-junk      remote  command.txt is 100 KB of random bytes"
  "cmd-semicolon remote  a command line with ; in it"
  "cmd-subst     remote  a command line with \$( ) in it"
  "cmd-backquote remote  a command line with back quotes in it"
  "result-link   remote  Result.txt is a link to a file outside"
  "ro-program    nobody  program folder read-only, config.ini too short"
  "root-exchange nobody  remote folder owned by root, mode 0700"
  "locked-result nobody  Result.txt is the user's, in a folder it cannot write"
)

OUTSIDE="$WORK/outside" # stands for everything outside the cases' folders
mkdir -p "$OUTSIDE"
echo "not yours" >"$OUTSIDE/target"
chmod 755 "$WORK" # the unprivileged cases must reach their folders

# A recorder for launched command lines: its words, one per line.
cat >"$WORK/rec" <<'SCRIPT'
#!/bin/sh
for a in "$@"; do echo "[$a]"; done > "$REC_OUT.tmp"
mv "$REC_OUT.tmp" "$REC_OUT"
SCRIPT
chmod 755 "$WORK/rec"

declare -A PID=() CPU0=() T0=()
INSTANCE_PIDS=()
stop_instances() {
  local p
  for p in "${INSTANCE_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${INSTANCE_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  INSTANCE_PIDS=()
}
trap 'stop_instances; cleanup' EXIT

# --- shared helpers ---------------------------------------------------------

# A program folder and a remote folder for a case: $CASE_DIR/prog, $CASE_DIR/x.
make_case() {
  CASE_DIR="$WORK/$1"
  mkdir -p "$CASE_DIR/prog" "$CASE_DIR/x" "$CASE_DIR/run" "$CASE_DIR/home"
  cp "$PROG"/torv* "$PROG"/*.wav "$CASE_DIR/prog/"
  chmod 700 "$CASE_DIR/run"
}

# config.ini from its lines with the given line end.
config_with() {
  local file="$1" end="$2" line
  shift 2
  : >"$file"
  for line in "$@"; do printf "%s$end" "$line" >>"$file"; done
}

# Starts the console of case $1 (as nobody when $2 is "nobody").
launch() {
  local name="$1" who="${2:-root}" dir="$WORK/$1"
  local -a run=()
  if [[ "$who" == nobody ]]; then
    chown -R nobody:nogroup "$dir/run" "$dir/home"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  (cd "$dir" && exec env HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" REC_OUT="$dir/args" \
    "${run[@]}" "$dir/prog/torv" >"$dir/out" 2>&1) &
  PID[$name]=$!
  INSTANCE_PIDS+=("$!")
}

alive() { kill -0 "${PID[$1]}" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/${PID[$1]}/status" 2>/dev/null; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/${PID[$1]}/stat"; }
mark_cpu() { CPU0[$1]=$(cpu_ticks "$1"); T0[$1]=$EPOCHREALTIME; }
# Fails unless the case used under 5% of a core since mark_cpu (a spinning
# wait takes all the core it can get, a blocked read none).
check_idle() {
  local used
  used=$(($(cpu_ticks "$1") - CPU0[$1]))
  IDLE_NOTE=$(awk -v u="$used" -v hz="$(getconf CLK_TCK)" -v t0="${T0[$1]}" -v t1="$EPOCHREALTIME" \
    'BEGIN { printf "%.2f s CPU in %.0f s", u / hz, t1 - t0; exit !(u / hz < 0.05 * (t1 - t0)) }') ||
    fail "$1: not idle: $IDLE_NOTE"
}

# The visible window of a case whose name matches $2.
window_of() {
  local w
  for w in $(xdotool search --onlyvisible --pid "${PID[$1]}" 2>/dev/null); do
    [[ "$(xdotool getwindowname "$w" 2>/dev/null)" =~ $2 ]] && { echo "$w"; return 0; }
  done
  return 1
}
console_of() { window_of "$1" '^TORV   '; }
box_of() { window_of "$1" '^TORV$'; }

# Waits up to $2 seconds of wall time (lib.sh's wait_for counts passes, which
# grow long when each test of the condition asks the X server several things).
wait_upto() {
  local cond="$1" end=$((${EPOCHREALTIME/./} + ${2:-10} * 1000000))
  until eval "$cond"; do
    ((${EPOCHREALTIME/./} < end)) || return 1
    sleep 0.1
  done
}

# Closes exactly $2 message boxes of case $1 as they come (a box may follow a
# box), each within $3 s; then no further box may come.
close_boxes() {
  local who="$1" want="$2" n box
  for ((n = 1; n <= want; n++)); do
    wait_upto '[[ -n "$(box_of "$who")" ]]' "${3:-10}" || fail "$who: $((n - 1)) message boxes, expected $want"
    box=$(box_of "$who")
    press_key "$box" Return
    wait_upto '[[ "$(box_of "$who")" != "$box" ]]' 5 || fail "$who: a message box does not close"
  done
  ! wait_upto '[[ -n "$(box_of "$who")" ]]' 1 || fail "$who: more than $want message boxes"
}

# A hash of what the log box shows (Text1 lies at 8,32 in the window, 413x369).
log_hash() {
  xdotool windowraise "$1" 2>/dev/null
  import -window "$1" -crop 413x369+8+32 +repage rgb:- 2>/dev/null | md5sum
}
# The Clear button answers: a click on it changes the log box.
check_clear_answers() {
  local win before
  win=$(console_of "$1") || fail "$1: no console window"
  before=$(log_hash "$win")
  # The consoles share one X server and overlap: the window is raised in the
  # same call as the click, and a click another console's window took (it
  # raised itself in between) is made again.
  local attempt
  for attempt in 1 2 3; do
    xdotool windowraise "$win" mousemove --window "$win" 72 424 click 1
    wait_upto '[[ "$(log_hash "$win")" != "$before" ]]' 4 && return 0
  done
  fail "$1: the Clear button does not answer"
}

sha() { sha256sum "$1" | cut -d' ' -f1; }
note() { printf '%-14s %s\n' "$1" "$2"; }
phase() { echo "-- $(date +%T) $*" >&2; }
skip_pending() {
  [[ -n "${PENDING[$1]:-}" ]] || return 1
  note "$1" "SKIPPED, expected to fail until: ${PENDING[$1]}"
}

TARGET_SHA=$(sha "$OUTSIDE/target")

# --- remote and rights cases: set up and started together --------------------

remote_config() { config_with "$CASE_DIR/prog/config.ini" '\r\n' NORM "$CASE_DIR/x" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF; }

plant() { # name, then what to do in $CASE_DIR/x
  make_case "$1"
  remote_config
}

plant cmd-fifo && mkfifo "$CASE_DIR/x/command.txt"
plant cmd-folder && mkdir "$CASE_DIR/x/command.txt"
plant cmd-zero && ln -s /dev/zero "$CASE_DIR/x/command.txt"
plant cmd-sparse && truncate -s 1G "$CASE_DIR/x/command.txt"
plant cmd-junk && head -c 100000 /dev/urandom >"$CASE_DIR/x/command.txt"
plant cmd-semicolon && printf '%s\r\n' "$WORK/rec semi;touch $OUTSIDE/m-semicolon" >"$CASE_DIR/x/command.txt"
plant cmd-subst && printf '%s\r\n' "$WORK/rec \$(touch $OUTSIDE/m-subst)" >"$CASE_DIR/x/command.txt"
plant cmd-backquote && printf '%s\r\n' "$WORK/rec \`touch $OUTSIDE/m-backquote\`" >"$CASE_DIR/x/command.txt"
plant result-link && ln -s "$OUTSIDE/target" "$CASE_DIR/x/Result.txt"

# Unprivileged: a read-only program folder of root's with a config.ini that
# ends early (the default file cannot be written there).
make_case ro-program
config_with "$CASE_DIR/prog/config.ini" '\r\n' NORM "$CASE_DIR/x" "" 5
RO_SHA=$(sha "$CASE_DIR/prog/config.ini")
chmod 555 "$CASE_DIR/prog"
# Unprivileged: the remote folder is root's and closed to others.
make_case root-exchange
remote_config
chmod 755 "$CASE_DIR/prog"
chmod 700 "$CASE_DIR/x"
# Unprivileged: Result.txt belongs to the user, the folder does not.
make_case locked-result
remote_config
printf 'old result\r\n' >"$CASE_DIR/x/Result.txt"
chown nobody:nogroup "$CASE_DIR/x/Result.txt"
LOCKED_INODE=$(stat -c %i "$CASE_DIR/x/Result.txt")
printf 'report\r\n' >"$CASE_DIR/x/command.txt"
chmod 755 "$CASE_DIR/x"

phase "start"
start_xvfb
for c in cmd-fifo cmd-folder cmd-zero cmd-sparse cmd-junk cmd-semicolon cmd-subst cmd-backquote result-link; do
  launch "$c"
done
for c in ro-program root-exchange locked-result; do launch "$c" nobody; done
BATCH_STARTED=$(date +%s)

phase "remote and rights cases: windows up"
REMOTE_BAD=(cmd-fifo cmd-folder cmd-zero cmd-sparse cmd-junk)
for c in "${REMOTE_BAD[@]}" cmd-semicolon cmd-subst cmd-backquote result-link root-exchange locked-result; do
  if [[ "$c" == root-exchange ]]; then
    # The result file cannot be made there: the sequence reports it (once
    # for creating, once for writing) and carries on.
    close_boxes "$c" 2 15
  fi
  wait_upto '[[ -n "$(console_of "$c")" ]]' 15 || fail "$c: no console window"
done
for c in "${REMOTE_BAD[@]}" cmd-semicolon cmd-subst cmd-backquote result-link root-exchange locked-result; do
  mark_cpu "$c"
done
# ro-program stops at once with a message box: no poll to wait for.
close_boxes ro-program 1 10
wait_upto '[[ -n "$(console_of ro-program)" ]]' 10 || fail "ro-program: no console window"
mark_cpu ro-program


# --- start-up cases: one after another in one program folder ----------------

phase "start-up cases"
make_case start
CFG="$CASE_DIR/prog/config.ini"
COMMENTS="$CASE_DIR/prog/comments.txt"

# Runs one start-up case: starts, closes the message boxes it shows, checks
# the console window answers and idles; $2 is the number of boxes expected.
run_start_case() {
  local name="$1" boxes="$2"
  launch start
  PID[$name]=${PID[start]}
  ((boxes == 0)) || close_boxes "$name" "$boxes" 15
  wait_upto '[[ -n "$(console_of "$name")" ]]' 10 || fail "$name: no console window"
  ((boxes > 0)) || close_boxes "$name" 0
  mark_cpu "$name"
  sleep 2
  check_idle "$name"
  check_clear_answers "$name"
  alive "$name" || fail "$name: the console died"
  kill "${PID[$name]}"
  local status=0
  wait "${PID[$name]}" 2>/dev/null || status=$?
  # Ended by the TERM signal (143), not by a crash on the way out.
  ((status == 143)) || fail "$name: the console ended with status $status on TERM: $(tail -5 "$WORK/start/out")"
}

if ! skip_pending cfg-fifo; then
  rm -f "$CFG" && mkfifo "$CFG"
  run_start_case cfg-fifo 1
  [[ -p "$CFG" ]] || fail "cfg-fifo: the pipe was replaced"
  note cfg-fifo "abnormal stop with one message box; the pipe left alone; $IDLE_NOTE"
fi

if ! skip_pending cfg-zero; then
  rm -f "$CFG" && ln -s /dev/zero "$CFG"
  run_start_case cfg-zero 1
  [[ "$(readlink "$CFG")" == /dev/zero ]] || fail "cfg-zero: the link was replaced"
  note cfg-zero "abnormal stop with one message box; the link left alone; $IDLE_NOTE"
fi

rm -f "$CFG" "$CFG.bak"
head -c 50M /dev/urandom >"$CFG"
JUNK_SHA=$(sha "$CFG")
run_start_case cfg-junk 1
# Kept byte for byte: as it was, or as the backup beside a default file.
[[ "$(sha "$CFG")" == "$JUNK_SHA" || "$(sha "$CFG.bak")" == "$JUNK_SHA" ]] || fail "cfg-junk: the junk file was lost"
note cfg-junk "abnormal stop with one message box; the junk kept byte for byte; $IDLE_NOTE"
rm -f "$CFG.bak"

# CR-only line ends read like CR LF: the sequence runs its task.
config_with "$CFG" '\r' NORM "$CASE_DIR/x" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF "cr task" "$WORK/rec cr-only"
rm -f "$CASE_DIR/args"
run_start_case cfg-cr 0
[[ "$(cat "$CASE_DIR/args")" == "[cr-only]" ]] || fail "cfg-cr: the task did not run"
grep -q "^cr task" "$CASE_DIR/x/Result.txt" || fail "cfg-cr: no result file with the task"
note cfg-cr "read like CR LF: the task ran, result written; $IDLE_NOTE"

if ! skip_pending comments-fifo; then
  config_with "$CFG" '\r\n' NORM "$CASE_DIR/x" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSON
  rm -f "$COMMENTS" && mkfifo "$COMMENTS"
  run_start_case comments-fifo 1
  [[ -p "$COMMENTS" ]] || fail "comments-fifo: the pipe was replaced"
  note comments-fifo "abnormal stop with one message box; the pipe left alone; $IDLE_NOTE"
fi

# --- remote and rights cases: after at least one poll ------------------------

phase "waiting for the polls"
# The first poll comes 10 s after each sequence (the timer may run late).
sleep $((BATCH_STARTED + 13 - $(date +%s) > 0 ? BATCH_STARTED + 13 - $(date +%s) : 0))

JUNK_FATE="left in place and retried silently (its first field names no program)"
[[ -e "$WORK/cmd-junk/x/command.txt" ]] || JUNK_FATE="answered"
for c in "${REMOTE_BAD[@]}"; do
  f="$WORK/$c/x/command.txt"
  case "$c" in
    cmd-fifo) [[ -p "$f" ]] ;;
    cmd-folder) [[ -d "$f" ]] ;;
    cmd-zero) [[ "$(readlink "$f")" == /dev/zero ]] ;;
    cmd-sparse) [[ "$(stat -c %s "$f")" == 1073741824 ]] ;;
    cmd-junk) [[ -f "$f" ]] ;;
  esac || fail "$c: the planted command file was changed"
done

for c in cmd-semicolon:m-semicolon:'[semi;touch]'"|[$OUTSIDE/m-semicolon]" \
  cmd-subst:m-subst:'[$(touch]'"|[$OUTSIDE/m-subst)]" \
  cmd-backquote:m-backquote:'[`touch]'"|[$OUTSIDE/m-backquote\`]"; do
  IFS=: read -r name marker words <<<"$c"
  wait_upto '[[ -s "$WORK/$name/args" ]]' 5 || fail "$name: the command line was not launched"
  [[ "$(tr '\n' '|' <"$WORK/$name/args")" == "$words|" ]] || fail "$name: launched with $(cat "$WORK/$name/args")"
  [[ ! -e "$OUTSIDE/$marker" ]] || fail "$name: a shell ran the command line"
  [[ ! -e "$WORK/$name/x/command.txt" ]] || fail "$name: the command was not answered"
done

[[ -f "$WORK/result-link/x/Result.txt" && ! -L "$WORK/result-link/x/Result.txt" ]] ||
  fail "result-link: Result.txt is still a link"
grep -q "^Seuquence Init" "$WORK/result-link/x/Result.txt" || fail "result-link: no log in Result.txt"

# Unprivileged: nothing was written where the user may not write.
[[ "$(sha "$WORK/ro-program/prog/config.ini")" == "$RO_SHA" ]] || fail "ro-program: config.ini changed"
[[ "$(ls -A "$WORK/ro-program/prog" | sort)" == "$( (ls -A "$PROG" && echo config.ini) | sort)" ]] ||
  fail "ro-program: new files in the program folder: $(ls -A "$WORK/ro-program/prog" | tr '\n' ' ')"
[[ -z "$(ls -A "$WORK/root-exchange/x")" ]] || fail "root-exchange: files appeared in root's folder"
# The result written in place (the same file, still the user's); the
# undeletable command carried out once, and the log says it was kept.
f="$WORK/locked-result/x/Result.txt"
[[ "$(stat -c %i:%U "$f")" == "$LOCKED_INODE:nobody" ]] || fail "locked-result: Result.txt was replaced"
grep -q "^Report Requested and Generated at:" "$f" || fail "locked-result: the report was not written in place"
[[ -f "$WORK/locked-result/x/command.txt" ]] || fail "locked-result: the command file vanished"
grep -q "^COMMAND FILE KEPT: command.txt could not be deleted (70 Permission denied), it is not carried out again at:" "$f" ||
  fail "locked-result: the log does not say the command file was kept: $(cat "$f")"
KEPT_SEEN=$(date +%s)
KEPT_SHA=$(sha "$f")

phase "idle and clicks"
ALL=("${REMOTE_BAD[@]}" cmd-semicolon cmd-subst cmd-backquote result-link ro-program root-exchange locked-result)
declare -A IDLE=()
for c in "${ALL[@]}"; do
  alive "$c" || fail "$c: the console died"
  check_idle "$c"
  IDLE[$c]="$IDLE_NOTE"
  check_clear_answers "$c"
done

phase "reports"
# The poll still answers after the bad files: a report, after the log was cleared.
for c in "${REMOTE_BAD[@]}"; do
  rm -rf "$WORK/$c/x/command.txt"
  printf 'report\r\n' >"$WORK/$c/x/.c" && mv "$WORK/$c/x/.c" "$WORK/$c/x/command.txt"
done
for c in "${REMOTE_BAD[@]}"; do
  wait_upto '[[ ! -e "$WORK/$c/x/command.txt" ]]' 12 || fail "$c: a report after the bad file was not answered"
  # The answer is written just after the command file goes.
  wait_upto '[[ "$(head -1 "$WORK/$c/x/Result.txt" | tr -d "\r")" == "Report Requested and Generated at:"* ]]' 5 ||
    fail "$c: the result does not start with the report"
done

# Two more polls since: the kept command was not carried out again (the
# program folder is root's here, so the console remembers it in memory).
sleep $((KEPT_SEEN + 21 - $(date +%s) > 0 ? KEPT_SEEN + 21 - $(date +%s) : 0))
[[ -f "$WORK/locked-result/x/command.txt" ]] || fail "locked-result: the command file vanished"
[[ "$(sha "$WORK/locked-result/x/Result.txt")" == "$KEPT_SHA" ]] ||
  fail "locked-result: the kept command was carried out again: $(cat "$WORK/locked-result/x/Result.txt")"

[[ "$(sha "$OUTSIDE/target")" == "$TARGET_SHA" ]] || fail "the file outside was changed"
[[ "$(ls -A "$OUTSIDE")" == target ]] || fail "new files outside: $(ls -A "$OUTSIDE")"

note cmd-fifo "left alone, poll silent; a later report answered; ${IDLE[cmd-fifo]}"
note cmd-folder "left alone, poll silent; a later report answered; ${IDLE[cmd-folder]}"
note cmd-zero "left alone, poll silent; a later report answered; ${IDLE[cmd-zero]}"
note cmd-sparse "left alone (field never ends within 64 KiB); a later report answered; ${IDLE[cmd-sparse]}"
note cmd-junk "$JUNK_FATE; a later report answered; ${IDLE[cmd-junk]}"
note cmd-semicolon "launched without a shell as [semi;touch] [...]; no marker; ${IDLE[cmd-semicolon]}"
note cmd-subst "launched without a shell as [\$(touch] [...)]; no marker; ${IDLE[cmd-subst]}"
note cmd-backquote "launched without a shell as [\`touch] [...\`]; no marker; ${IDLE[cmd-backquote]}"
note result-link "the link replaced by the result file; the file outside unchanged; ${IDLE[result-link]}"
note ro-program "as nobody: abnormal stop, config.ini and the folder unchanged; ${IDLE[ro-program]}"
note root-exchange "as nobody: two failure boxes at the result file, polls silent, folder untouched; ${IDLE[root-exchange]}"
note locked-result "as nobody: result written in place, undeletable report carried out once, kept; ${IDLE[locked-result]}"
screenshot bad-input
echo "PASS"
