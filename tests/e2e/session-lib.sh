# What the session scripts share (sourced; they define stop_session first): their two
# arguments, and the reason a session cannot start, written to DIR/unavailable so the tests
# skip with it while the fixture still succeeds.
set -u
cmd=${1:?start or stop}
dir=${2:?session directory}
mkdir -p "$dir"

unavailable() {
  echo "$1" > "$dir/unavailable"
  cat "$dir/unavailable"
  stop_session
  exit 0
}

# Installed but not coming up is a fault, not a reason to skip: with $ZUMO_SESSIONS_REQUIRED set
# (scripts/test sets it) the fixture fails, so its tests show as not run instead of skipping
# unseen. What the session's processes were doing then goes into the reason.
failed() {
  local pids
  pids=$(cat "$dir"/*.pid 2>/dev/null | paste -sd,)
  [ -n "$pids" ] && set -- "$1 | processes: $(ps -o pid=,stat=,wchan:20=,etimes=,args= -p "$pids" 2>/dev/null | tr -s ' \n' ' ')"
  [ -z "${ZUMO_SESSIONS_REQUIRED:-}" ] && unavailable "$1"
  echo "$1" > "$dir/unavailable"
  cat "$dir/unavailable" >&2
  stop_session
  exit 1
}

# stop ends the session here; start goes on from a clean folder.
if [ "$cmd" = stop ]; then
  stop_session
  exit 0
fi
stop_session
rm -f "$dir/unavailable"
