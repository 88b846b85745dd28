#!/usr/bin/env bash
# Windows, proved here: cross-compiles the core, its unit tests and the
# command-line tool with MinGW-w64, runs the tests as .exe files under wine,
# then runs the tool under wine against the register emulator through COM
# ports that wine maps to the emulator's pseudo-terminals: it identifies the
# register, reads every table into a .pod, sends that file to a second,
# empty register, reads it back into a new .pod, compares the two files and
# reads the fiscal memory to CSV; the PLU table goes to a spreadsheet file
# and back.
#   BUILD_DIR      Linux build with the emulator (default: build)
#   WIN_BUILD_DIR  Windows build (default: build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

packages=(g++-mingw-w64-x86-64-posix wine64 wine googletest cmake ninja-build)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

linux_build=${BUILD_DIR:-build}
if [ ! -x "$linux_build/emulator/zeltra-emulator" ]; then
  bash scripts/setup.sh
fi
emulator="$root/$linux_build/emulator/zeltra-emulator"

win_build=${WIN_BUILD_DIR:-build-win}
cmake -S . -B "$win_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZELTRA_GUI=OFF >/dev/null
cmake --build "$win_build" -j2

# A wine prefix of our own, made once.
export WINEPREFIX="$root/$win_build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing wine ($WINEPREFIX)"
  wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi

# Four emulators, each on a pseudo-terminal: one that sends its replies byte
# by byte (the in-order test), one with a small shop's data, one empty, and
# one in fiscal mode (its fiscal memory can be read).
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
start_emulator() {  # start_emulator VAR switches...: VAR gets the terminal's path
  local var=$1; shift
  local out; out=$(mktemp)
  "$emulator" "$@" >"$out" &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$out" ] && break; sleep 0.05; done
  printf -v "$var" '%s' "$(head -n 1 "$out")"
  rm -f "$out"
}
model=${WIN_TEST_MODEL:-1}
start_emulator pty_split --split
start_emulator pty_demo --model "$model" --demo
start_emulator pty_empty --model "$model"
start_emulator pty_fiscal --model "$model" --demo --fiscal
echo "Emulators: COM5=$pty_split COM6=$pty_demo COM7=$pty_empty COM8=$pty_fiscal"

# Wine's COM ports point at the terminals; the mapping takes effect after the
# wine server restarts.
for m in "COM5 $pty_split" "COM6 $pty_demo" "COM7 $pty_empty" "COM8 $pty_fiscal"; do
  set -- $m
  wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$2" /f >/dev/null 2>&1
done
wineserver -k || true
wineserver -w || true
# One wine server for the rest, with its notes (it dumps its objects when a
# terminal closes) kept out of the output.
wineserver -p >/dev/null 2>&1
# Wine's own background processes start with the first program; started here,
# they hold no pipe of ctest's open (ctest would wait for them to the time-out).
wine wineboot >/dev/null 2>&1 || true

echo "== Unit tests under wine"
ZELTRA_TEST_PORT=COM5 ctest --test-dir "$win_build" --output-on-failure --timeout 600
# The in-order test must really have talked to the register on COM5.
ZELTRA_TEST_PORT=COM5 wine "$win_build/tests/link/test_kolejnosc.exe" | tee "$win_build/kolejnosc.log"
grep -q "PASSED  \] 2 tests" "$win_build/kolejnosc.log"
! grep -q SKIPPED "$win_build/kolejnosc.log"

echo "== The command-line tool under wine"
tool="$root/$win_build/cli/zeltra-kasa.exe"
work="$root/$win_build/kasa"
rm -rf "$work"; mkdir -p "$work"; cd "$work"
printf '[PORTRS]\r\nNrPortu=COM6\r\nTimeout=2\r\nBaud=9600\r\n[USTAWIENIA]\r\nObslugaBledow=1\r\nMaxPlu=0\r\nCzyLogowac=0\r\n' >config.cfg
run() { echo "\$ zeltra-kasa $*"; wine "$tool" "$@"; }
run --help >/dev/null
run ports
run info | tee info.txt
grep -q "ZELTRA ARK" info.txt
run read sklep.pod
run --port COM7 send sklep.pod
run --port COM7 read kopia.pod
cmp sklep.pod kopia.pod
echo "sklep.pod and kopia.pod are identical ($(stat -c %s sklep.pod) bytes)"
# The PLU table through a spreadsheet file and back: the data file stays the same.
cp sklep.pod arkusz.pod
run csv-export plu arkusz.pod towary.csv
head -c 3 towary.csv | cmp - <(printf '\xef\xbb\xbf')
run csv-import plu towary.csv arkusz.pod
cmp sklep.pod arkusz.pod
echo "towary.csv: $(($(wc -l <towary.csv) - 1)) PLU, back into arkusz.pod unchanged"
run --port COM8 fiscal pamiec.csv
rows=$(($(wc -l <pamiec.csv) - 1))
[ "$rows" -gt 0 ]
echo "pamiec.csv: $rows fiscal records"
echo "Windows: all passed"
