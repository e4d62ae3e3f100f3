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

# stop ends the session here; start goes on from a clean folder.
if [ "$cmd" = stop ]; then
  stop_session
  exit 0
fi
stop_session
rm -f "$dir/unavailable"
