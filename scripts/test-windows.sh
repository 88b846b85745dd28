#!/usr/bin/env bash
# Windows, proved here: cross-compiles the core, its unit tests and the
# command-line tool with MinGW-w64, runs the tests as .exe files under wine,
# then runs the tool under wine against the register emulator through COM
# ports that wine maps to the emulator's pseudo-terminals: it identifies the
# register, reads every table into a .pod, sends that file to a second,
# empty register, reads it back into a new .pod, compares the two files and
# reads the fiscal memory to CSV; the PLU table goes to a spreadsheet file
# and back. Then the window program: Qt for Windows (built once into a cache,
# scripts/build-qt-windows.sh), the program cross-built with it, its widget
# tests under wine, the release folder, .zip and installer
# (scripts/release-windows.sh), the installer run silently in a wine prefix
# of its own, and the installed program driven on a virtual screen.
#   BUILD_DIR          Linux build with the emulator (default: build)
#   WIN_BUILD_DIR      Windows build of the core (default: build-win)
#   WIN_GUI_BUILD_DIR  Windows build of the window program (default: build-win-gui)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Each stage says how long the one before it took.
stage_name=""; stage_start=$(date +%s)
stage() {
  local now; now=$(date +%s)
  [ -n "$stage_name" ] && echo "-- $stage_name: $((now - stage_start)) s"
  stage_name=$1; stage_start=$now
  [ -n "$1" ] && echo "== $1"
  return 0
}

packages=(g++-mingw-w64-x86-64-posix wine64 wine googletest cmake ninja-build nsis zip xvfb xdotool xauth
          imagemagick fonts-dejavu-core socat libz-mingw-w64-dev)
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

stage "Libraries for Windows"
libs=$(bash scripts/build-libs-windows.sh | tail -n 1)

stage "The core for Windows"
win_build=${WIN_BUILD_DIR:-build-win}
gui_build=${WIN_GUI_BUILD_DIR:-build-win-gui}
cmake -S . -B "$win_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZELTRA_GUI=OFF -DCMAKE_PREFIX_PATH="$libs" -DCMAKE_FIND_ROOT_PATH="$libs" >/dev/null
cmake --build "$win_build" -j2

# A new wine prefix in a folder, checked by running a program in it: a prefix
# left half made (its system folder without kernel32.dll) fails every program
# later with status c0000135. Made again, up to three times; what wine said is
# shown when it never works.
new_prefix() {
  local dir=$1 log=$1.log
  for attempt in 1 2 3; do
    WINEPREFIX=$dir wineserver -k 2>/dev/null || true
    rm -rf "$dir"
    WINEPREFIX=$dir wine wineboot --init >"$log" 2>&1 || true
    WINEPREFIX=$dir wineserver -w || true
    local status=0
    if [ -f "$dir/drive_c/windows/system32/kernel32.dll" ]; then
      WINEPREFIX=$dir wine cmd /c exit 7 >>"$log" 2>&1 || status=$?
      WINEPREFIX=$dir wineserver -w || true
      [ "$status" -eq 7 ] && return 0
    fi
    echo "Wine prefix $dir not usable (attempt $attempt):"; tail -n 20 "$log"
    sleep 2
  done
  return 1
}

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The prefix of the tests, made once and kept between runs.
export WINEPREFIX="$root/$win_build/wineprefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing wine ($WINEPREFIX)"
  new_prefix "$WINEPREFIX"
fi
# The installer's own prefix, made new on every run, and made here, before any
# wine server of the tests runs.
install_prefix="$root/$gui_build/wineprefix"
mkdir -p "$root/$gui_build"
new_prefix "$install_prefix"

# Four emulators, each on a pseudo-terminal: one that sends its replies byte
# by byte (the in-order test), one with a small shop's data, one empty, and
# one in fiscal mode (its fiscal memory can be read).
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  WINEPREFIX="$root/$win_build/wineprefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$install_prefix" wineserver -k 2>/dev/null || true
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
# One line for the window tests: two terminals joined by socat, COM10 the
# program's end, COM11 the end the tests' own emulator serves.
pair=$(mktemp)
socat -d -d pty,raw,echo=0 pty,raw,echo=0 2>"$pair" &
pids+=($!)
for _ in $(seq 100); do [ "$(grep -c 'PTY is' "$pair")" -ge 2 ] && break; sleep 0.05; done
mapfile -t joined < <(sed -n 's/.*PTY is \(.*\)$/\1/p' "$pair")
rm -f "$pair"
echo "Joined line: COM10=${joined[0]} COM11=${joined[1]}"

# Wine's COM ports point at the terminals; the mapping takes effect after the
# wine server restarts.
for m in "COM5 $pty_split" "COM6 $pty_demo" "COM7 $pty_empty" "COM8 $pty_fiscal" "COM10 ${joined[0]}" \
         "COM11 ${joined[1]}"; do
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

stage "Unit tests under wine"
ZELTRA_TEST_PORT=COM5 ctest --test-dir "$win_build" --output-on-failure --timeout 600
# The in-order test must really have talked to the register on COM5.
ZELTRA_TEST_PORT=COM5 wine "$win_build/tests/link/test_kolejnosc.exe" | tee "$win_build/kolejnosc.log"
grep -q "PASSED  \] 2 tests" "$win_build/kolejnosc.log"
! grep -q SKIPPED "$win_build/kolejnosc.log"

stage "The command-line tool under wine"
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
# The same through an Excel workbook with Polish letters in its name; the
# Linux tool reads what the Windows one wrote, and the other way round.
cp sklep.pod skoroszyt.pod
run csv-export plu skoroszyt.pod "Towary łódź.xlsx"
head -c 4 "Towary łódź.xlsx" | cmp - <(printf 'PK\x03\x04')
run csv-import plu "Towary łódź.xlsx" skoroszyt.pod
cmp sklep.pod skoroszyt.pod
cp sklep.pod linux.pod
"$root/$linux_build/cli/zeltra-kasa" csv-import plu "Towary łódź.xlsx" linux.pod
cmp sklep.pod linux.pod
"$root/$linux_build/cli/zeltra-kasa" csv-export plu sklep.pod z-linuksa.xlsx
cp sklep.pod z-linuksa.pod
run csv-import plu z-linuksa.xlsx z-linuksa.pod
cmp sklep.pod z-linuksa.pod
echo "Towary łódź.xlsx ($(stat -c %s "Towary łódź.xlsx") bytes): back into the data file unchanged, by the Windows and the Linux tool"
run --port COM8 fiscal pamiec.csv
rows=$(($(wc -l <pamiec.csv) - 1))
[ "$rows" -gt 0 ]
echo "pamiec.csv: $rows fiscal records"
cd "$root"

stage "Qt for Windows"
qt=$(bash scripts/build-qt-windows.sh | tail -n 1)

stage "The window program for Windows"
# Linked against the MinGW runtime DLLs, as Qt's own are: one C++ runtime in
# the process. The release folder carries them.
cmake -S . -B "$gui_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZELTRA_GUI=ON -DCMAKE_EXE_LINKER_FLAGS=" " \
  -DCMAKE_FIND_ROOT_PATH="$qt;$libs" -DCMAKE_PREFIX_PATH="$qt;$libs" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
cmake --build "$gui_build" -j2

stage "Widget tests under wine"
# The Qt programs find Qt's and MinGW's DLLs through WINEPATH; wine needs an
# X display even for Qt's offscreen platform.
# The window tests' register is on COM11, joined to the program's COM10.
gui_env=(WINEPATH="Z:$qt/bin;Z:/usr/lib/gcc/x86_64-w64-mingw32/12-posix;Z:/usr/x86_64-w64-mingw32/lib"
         QT_PLUGIN_PATH="Z:$qt/plugins" QT_QPA_PLATFORM=offscreen
         ZELTRA_TEST_PORT=COM10 ZELTRA_TEST_REGISTER_PORT=COM11)
widget_failed=0
# Qt Test programs write their results to a file (a GUI program under wine
# has no console); GoogleTest ones to standard output.
for t in about/test_about:qt editing/test_edytory:qt editing/test_pola:gtest app/test_app_config:gtest \
         app/test_app_window:qt app/test_app_wiring:qt app/test_app_stop:qt app/test_app_line:qt \
         app/test_app_konfiguracja:qt app/test_app_look:qt fiscal/test_fmreader_window:qt \
         fiscal/test_raport_window:qt; do
  kind=${t#*:}; t=${t%:*}
  log="$root/$gui_build/$(basename "$t").txt"
  args=(); [ "$kind" = qt ] && args=(-o "Z:$log,txt")
  if env "${gui_env[@]}" xvfb-run -a wine "$gui_build/tests/$t.exe" "${args[@]}" >"$log.out" 2>&1 &&
     { [ "$kind" = qt ] || cp "$log.out" "$log"; }; then
    echo "$t: $(grep -E '^Totals:|PASSED' "$log" | tail -n 1)"
  else
    echo "$t: FAILED"; grep -hE 'FAIL|Failure|Loc:' "$log" "$log.out" 2>/dev/null | head -n 20; widget_failed=1
  fi
done
[ "$widget_failed" -eq 0 ]

stage "Release folder, zip and installer"
installer=$(bash scripts/release-windows.sh "$gui_build" "$qt" "$gui_build/release" | tail -n 1)

stage "The installer under wine"
# A prefix of its own, whose user folders are real folders (wine links them
# to the home folder otherwise).
export WINEPREFIX="$install_prefix"
user_dir=$(ls -d "$WINEPREFIX/drive_c/users/"* | grep -v '/Public$' | head -n 1)
for d in Desktop Documents Downloads Music Pictures Videos; do
  if [ -L "$user_dir/$d" ]; then rm "$user_dir/$d"; mkdir "$user_dir/$d"; fi
done
wine "$installer" /S
wineserver -w
installed="$WINEPREFIX/drive_c/Program Files/ZELTRA Serwis"
for f in zeltra.exe zeltra-kasa.exe odinstaluj.exe Qt6Widgets.dll platforms/qwindows.dll translations/qtbase_pl.qm; do
  [ -f "$installed/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ -f "$user_dir/Documents/ZELTRA Serwis/config.cfg" ]
ls "$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/ZELTRA Serwis/"*.lnk >/dev/null
# An upgrade keeps the user's settings.
printf '[PORTRS]\r\nNrPortu=COM9\r\n' >"$user_dir/Documents/ZELTRA Serwis/config.cfg"
wine "$installer" /S
wineserver -w
grep -q COM9 "$user_dir/Documents/ZELTRA Serwis/config.cfg"
echo "Installed into Program Files; the user's folder and config.cfg kept on an upgrade"

stage "The installed program on a virtual screen"
# The shop's folder, with Polish letters, as a shortcut's working folder.
shop="$user_dir/Documents/Sklep Żabka"
mkdir -p "$shop"
start_emulator pty_window --model "$model" --demo
wine reg add 'HKLM\Software\Wine\Ports' /v COM6 /d "$pty_window" /f >/dev/null 2>&1
wineserver -k || true
wineserver -w || true
printf '[PORTRS]\r\nNrPortu=COM6\r\nTimeout=2\r\nBaud=9600\r\n[USTAWIENIA]\r\nObslugaBledow=1\r\nMaxPlu=0\r\nCzyLogowac=0\r\n' \
  >"$shop/config.cfg"
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
sleep 1
(cd "$shop" && exec wine "C:\\Program Files\\ZELTRA Serwis\\zeltra.exe") >"$root/$gui_build/zeltra.log" 2>&1 &
pids+=($!)
# The program's only top window, once it is on the screen.
window() {
  for _ in $(seq 120); do
    local w; w=$(xdotool search --onlyvisible --name "ZELTRA SA" 2>/dev/null | head -n 1)
    if [ -n "$w" ]; then echo "$w"; return 0; fi
    sleep 0.5
  done
  echo "the window did not appear" >&2; return 1
}
keys() { local w; w=$(window); xdotool windowfocus --sync "$w"; xdotool key --delay 100 "$@"; }
keys Return           # "Uruchom w kasie tryb komunikacji"
sleep 5
keys alt+b            # "Pobierz bazy z kasy" on the service tab
sleep 25              # eight tables, 1 001 PLU records among them
keys alt+2
sleep 2
shots="$root/$gui_build/zrzuty"; mkdir -p "$shots"
import -window root "$shots/okno-windows.png"
keys alt+p z          # Plik -> Zapisz plik z danymi
sleep 3
xdotool type --delay 50 "dane.pod"
xdotool key Return
for _ in $(seq 40); do [ -s "$shop/dane.pod" ] && break; sleep 0.5; done
keys alt+p k          # Plik -> Koniec: the port is free for the tool
for _ in $(seq 40); do xdotool search --onlyvisible --name "ZELTRA SA" >/dev/null 2>&1 || break; sleep 0.5; done
# The same register read by the tool on Linux gives the same file.
"$root/$linux_build/cli/zeltra-kasa" --port "$pty_window" read "$root/$gui_build/kasa-linux.pod" >/dev/null
cmp "$shop/dane.pod" "$root/$gui_build/kasa-linux.pod"
echo "Sklep Żabka/dane.pod written by the window program: $(stat -c %s "$shop/dane.pod") bytes, as the tool reads the register"
echo "Screenshot: $shots/okno-windows.png"
stage ""
echo "Windows: all passed"
