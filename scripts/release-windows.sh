#!/usr/bin/env bash
# The release for Windows users, from a cross-built window program: a folder
# with everything the programs need (as windeployqt would lay it out: the
# programs, the Qt and MinGW libraries they load, the platform, style and
# image plugins, Qt's Polish texts), a .zip of that folder, and an installer
# made with NSIS.
#   bash scripts/release-windows.sh BUILD_DIR QT_PREFIX OUT_DIR
# Prints the installer's path on its last line.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
qt=$2
mkdir -p "$3"
out=$(cd "$3" && pwd)

version=$(sed -n 's/^project(ZeltraSerwis VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
name="ZeltraSerwis-$version"
dist="$out/$name"
rm -rf "$dist"
mkdir -p "$dist/platforms" "$dist/styles" "$dist/imageformats" "$dist/translations"

cp "$build/app/zeltra.exe" "$build/cli/zeltra-kasa.exe" "$dist/"
cp "$qt/plugins/platforms/qwindows.dll" "$dist/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$dist/styles/"
cp "$qt/plugins/imageformats/"*.dll "$dist/imageformats/"
cp "$qt/translations/qtbase_pl.qm" "$dist/translations/"

# Every DLL the programs and plugins load that Windows does not have: found in
# Qt's and MinGW's folders, followed to their own DLLs.
search=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
declare -A copied=()
queue=("$dist"/*.exe "$dist"/*/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r dll; do
    key=${dll,,}
    [ -n "${copied[$key]:-}" ] && continue
    for dir in "${search[@]}"; do
      if [ -f "$dir/$dll" ]; then
        cp "$dir/$dll" "$dist/"
        copied[$key]=1
        queue+=("$dist/$dll")
        break
      fi
    done
  done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done

# The settings a new user starts with (Windows-1250, CR LF, as the program
# writes them); the installer puts it into the user's folder only when none
# is there.
printf '[PORTRS]\r\nNrPortu=COM1\r\nTimeout=2\r\nBaud=9600\r\n[USTAWIENIA]\r\nObslugaBledow=1\r\nMaxPlu=0\r\nCzyLogowac=0\r\n' \
  >"$out/config.cfg"

rm -f "$out/$name.zip"
(cd "$out" && zip -qr9 "$name.zip" "$name")

installer="$out/$name-instalator.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DDIST="$dist" -DCONFIG="$out/config.cfg" \
  -DICON="$here/app/zasoby/zeltra.ico" -DOUTFILE="$installer" "$here/scripts/zeltra.nsi" >&2
echo "$out/$name.zip: $(du -k "$out/$name.zip" | cut -f1) kB; $installer: $(du -k "$installer" | cut -f1) kB" >&2
echo "$installer"
