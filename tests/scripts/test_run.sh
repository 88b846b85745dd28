#!/usr/bin/env bash
# scripts/run.sh ended by SIGTERM or by Ctrl+C (SIGINT to its process group),
# on a screen of its own (Xvfb) and on one it is given (DISPLAY): nothing it
# started may stay, neither the program, the emulator nor the virtual screen.
# The script runs in a copy of the tree's layout whose setup.sh does nothing
# and whose build folder links to the programs built here: nothing is built.
#   test_run.sh SOURCE_DIR ZELTRA ZELTRA_EMULATOR
set -u
for tool in Xvfb xdotool import pgrep; do
  command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
done
work=$(mktemp -d)
mkdir -p "$work/scripts" "$work/build/app" "$work/build/emulator"
cp "$1/scripts/run.sh" "$work/scripts/"
printf '#!/bin/sh\n' >"$work/scripts/setup.sh"
ln -s "$(realpath "$2")" "$work/build/app/zeltra"
ln -s "$(realpath "$3")" "$work/build/emulator/zeltra-emulator"
screen=""
trap '[ -z "$screen" ] || { kill "$screen"; wait "$screen"; }; rm -rf "$work"' EXIT
set -m  # each run in a process group of its own, as in a terminal, SIGINT not ignored

alive() { local s; s=$(ps -o stat= -p "$1" 2>/dev/null) && [ "${s:0:1}" != Z ]; }
failed=0
run() {  # display (empty: run.sh starts Xvfb), signal, what to wait for first
  local display=$1 signal=$2 ready=$3 script pids="" pid
  env -i PATH="$PATH" HOME="$work" ${display:+DISPLAY=$display} bash "$work/scripts/run.sh" >"$work/out" 2>&1 &
  script=$!
  for _ in $(seq 300); do
    alive "$script" || break
    grep -q "$ready" "$work/out" 2>/dev/null && pgrep -x zeltra -P "$script" >/dev/null && break
    sleep 0.1
  done
  for pid in $(pgrep -P "$script"); do
    case $(ps -o comm= -p "$pid") in zeltra | zeltra-emulato* | Xvfb) pids="$pids $pid" ;; esac
  done
  if [ "$signal" = INT ]; then kill -INT -- "-$script"; else kill -TERM "$script"; fi
  for _ in $(seq 200); do alive "$script" || break; sleep 0.1; done
  wait "$script" 2>/dev/null
  for pid in $pids; do
    if alive "$pid"; then
      echo "FAIL (${display:-Xvfb}, SIG$signal): left running: $(ps -o pid=,comm= -p "$pid")"
      kill -9 "$pid"
      failed=1
    fi
  done
  [ -n "$pids" ] || { echo "FAIL (${display:-Xvfb}, SIG$signal): the program did not start"; cat "$work/out"; failed=1; }
}

run "" TERM "Emulator kasy"
run "" INT "Program działa"
display=:$((200 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
screen=$!
sleep 1
run "$display" TERM "Emulator kasy"
run "$display" INT "Emulator kasy"
exit $failed
