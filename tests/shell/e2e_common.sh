# Helpers that the Linux and the Windows end-to-end tests share; each side's
# lib.sh sources this file and adds what only it needs. Expects PROG (the
# temporary program folder).

# Writes config.ini from its lines, CR LF after each.
write_config() {
  : >"$PROG/config.ini"
  local line
  for line in "$@"; do printf '%s\r\n' "$line" >>"$PROG/config.ini"; done
}

# Waits (up to $2 seconds) until the command in $1 succeeds.
wait_for() {
  local cond="$1" limit="${2:-10}" waited=0
  until eval "$cond"; do
    sleep 0.1
    waited=$((waited + 1))
    ((waited < limit * 10)) || return 1
  done
}

# The first visible window whose title matches $1.
window_named() {
  xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1
}
