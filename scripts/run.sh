#!/usr/bin/env bash
# Sets up, builds and starts the program against the built-in register emulator.
#   EMULATOR_ARGS  extra switches for the emulator (for example: --model 3)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
root=$(pwd)
build_dir=${BUILD_DIR:-build}
demo="$root/demo"
mkdir -p "$demo"

# The emulator opens a pseudo-terminal and prints its path on the first line.
fifo=$(mktemp -u)
mkfifo "$fifo"
# shellcheck disable=SC2086
"$build_dir/emulator/zeltra-emulator" ${EMULATOR_ARGS:-} >"$fifo" &
emu=$!
trap 'kill $emu 2>/dev/null || true; rm -f "$fifo"' EXIT
exec 3<"$fifo"
read -r pty <&3
echo "Emulator kasy na $pty"

printf '[PORTRS]\r\nNrPortu=%s\r\nTimeout=2\r\nBaud=9600\r\n[USTAWIENIA]\r\nObslugaBledow=1\r\nMaxPlu=0\r\nCzyLogowac=0\r\n' "$pty" >"$demo/config.cfg"

cd "$demo"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Brak ekranu (DISPLAY): program działa pod Xvfb, niewidoczny."
  xvfb-run -a "$root/$build_dir/app/zeltra"
else
  "$root/$build_dir/app/zeltra"
fi
