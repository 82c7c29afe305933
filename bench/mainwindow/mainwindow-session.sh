# shellcheck shell=bash disable=SC2154  # $demo comes from the script that sources this
# What the main window's benchmarks share, sourced by run-mainwindow-bench and
# run-pace-bench: the demo platform, process trees, waits and the launcher's
# windows as another X client sees them. Expects $demo and defines log; sets
# host, demo_pid and the KEST_*_HOST variables.

log() { echo "# $*" >&2; }

# Starts a demo server writing its requests to $1; sets host and demo_pid.
start_demo() {
  "$demo" --port 0 --log "$1" >"$1.out" 2>&1 &
  demo_pid=$!
  host=
  for _ in $(seq 100); do
    host=$(sed -n 's/.*listening on \(127\.0\.0\.1:[0-9]*\).*/\1/p' "$1.out" 2>/dev/null)
    [ -n "$host" ] && break
    sleep 0.05
  done
  [ -n "$host" ] || { log "the demo server did not start"; return 1; }
  export KEST_LOGIN_HOST=$host KEST_HOME_HOST=$host KEST_STATIC_HOST=$host
}

stop_demo() {
  kill "$demo_pid" 2>/dev/null
  wait "$demo_pid" 2>/dev/null
  demo_pid=
}

# A process and all its descendants.
tree() {
  local pids=$1 p all=$1
  while [ -n "$pids" ]; do
    pids=$(for p in $pids; do pgrep -P "$p"; done)
    all="$all $pids"
  done
  echo "$all"
}

# Ends a process and waits (at most 20 s) for its whole tree to go.
end_tree() {
  local pid=$1 all p alive
  all=$(tree "$pid")
  kill "$pid" 2>/dev/null
  for _ in $(seq 200); do
    alive=
    for p in $all; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ -z "$alive" ] && break
    sleep 0.1
  done
  for p in $all; do kill -9 "$p" 2>/dev/null; done
  wait "$pid" 2>/dev/null
}

# Runs a command until it succeeds, for at most $1 s.
wait_until() {
  local end=$(( SECONDS + $1 ))
  shift
  until "$@"; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.1
  done
}

# Waits up to $3 s for a line of file $1 that begins with $2.
wait_line() {
  wait_until "$3" grep -q "^$2" "$1" 2>/dev/null ||
    { log "timed out waiting for '$2' in $(basename "$1")"; return 1; }
}

# Viewable windows of process $1, "ID X Y WIDTH HEIGHT" per line.
windows_of() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    xwininfo -id "$id" 2>/dev/null | awk -v id="$id" '
      /Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4}
      /Width:/{w=$2} /Height:/{h=$2} END{print id, x, y, w, h}'
  done
}

# Both login windows of process $1 are on the screen.
login_windows_shown() {
  [ "$(windows_of "$1" | awk '$4 == 888 && $5 == 518' | wc -l)" = 2 ]
}
