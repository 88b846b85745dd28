#!/usr/bin/env bash
# scripts/run.sh ended by SIGTERM or Ctrl+C (SIGINT to its process group), on
# its own Xvfb and on a given DISPLAY, leaves none of the program, emulator or
# Xvfb it started. It runs in a copy of the tree with an empty setup.sh and the
# programs built here.   test_run.sh SOURCE_DIR ZELTRA ZELTRA_EMULATOR
set -u
for tool in Xvfb xdotool import pgrep; do command -v $tool >/dev/null || exit 77; done
work=$(mktemp -d) screen=""
trap '[ -z "$screen" ] || { kill $screen; wait $screen; }; rm -rf "$work"' EXIT
mkdir -p "$work/scripts" "$work/build/app" "$work/build/emulator"
cp "$1/scripts/run.sh" "$work/scripts/" && : >"$work/scripts/setup.sh"
ln -s "$(realpath "$2")" "$work/build/app/zeltra"
ln -s "$(realpath "$3")" "$work/build/emulator/zeltra-emulator"
set -m  # each run in a process group of its own, SIGINT not ignored, as in a terminal
alive() { local s; s=$(ps -o stat= -p "$1") && [ "${s:0:1}" != Z ]; }
failed=0
run() {  # DISPLAY (empty: the script starts Xvfb), signal, the line to wait for
  env -i PATH="$PATH" HOME="$work" ${1:+DISPLAY=$1} bash "$work/scripts/run.sh" >"$work/out" 2>&1 &
  local script=$! pids=""
  for _ in $(seq 300); do
    alive $script && ! { grep -q "$3" "$work/out" && pgrep -x zeltra -P $script >/dev/null; } || break
    sleep 0.1
  done
  pids=$(pgrep -d ' ' -P $script -x 'zeltra|zeltra-emulator|Xvfb')
  [ -n "$pids" ] || { echo "FAIL (${1:-Xvfb}): nothing started"; failed=1; }
  if [ "$2" = INT ]; then kill -INT -- -$script; else kill -TERM $script; fi
  wait $script 2>/dev/null
  for pid in $pids; do
    alive "$pid" && { echo "FAIL (${1:-Xvfb}, SIG$2): left running: $(ps -o comm= -p "$pid")"; kill -9 "$pid"; failed=1; }
  done
}
run "" TERM "Emulator kasy"
run "" INT "Program działa"
Xvfb -displayfd 1 -screen 0 1024x768x24 >"$work/display" 2>/dev/null &
screen=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
run ":$(cat "$work/display")" TERM "Emulator kasy"
run ":$(cat "$work/display")" INT "Emulator kasy"
exit $failed
