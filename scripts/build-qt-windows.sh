#!/usr/bin/env bash
# Qt for Windows, cross-built with MinGW-w64 from Debian's own source of the
# Qt we use on Linux (qt6-base), installed into a cache folder outside the
# checkout and reused while the Qt version and the options stay the same.
# Prints the install folder on its last line of output.
#   ZELTRA_CACHE   cache folder (default: ~/.cache/zeltra)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

cache=${ZELTRA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zeltra}
sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
          cmake ninja-build dpkg-dev perl python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The same Qt as the host's: its host tools (moc, rcc, uic) build the
# Windows Qt and our Windows programs.
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream=${version%%+*}

# The options decide the result; a change of them is a new cache entry.
options=(-xplatform win32-g++ -qt-host-path /usr -release -shared -nomake examples -nomake tests
         -no-opengl -no-dbus -no-icu -no-feature-sql -no-feature-network -no-feature-vulkan
         -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-doubleconversion)
cmake_options=(-DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DFEATURE_tabletevent=OFF
               -DFEATURE_sql=OFF -DFEATURE_network=OFF)
key=$(printf '%s\n' "$version" "${options[@]}" "${cmake_options[@]}" | sha256sum | cut -c1-12)
prefix="$cache/qt-$upstream-mingw-$key"

if [ -f "$prefix/.complete" ]; then
  echo "Qt for Windows from the cache: $prefix"
  echo "$prefix"
  exit 0
fi

start=$(date +%s)
work="$cache/qt-$upstream-mingw-$key.build"
rm -rf "$work" "$prefix"
mkdir -p "$work"

# Debian's source needs a deb-src line; the binary lines say where from.
if ! grep -rqs '^\(deb-src\|Types:.*deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "Adding a deb-src line for the Qt source"
  # In the form of Debian 12's own sources, with the same key: a one-line
  # entry for the same archive would clash with its Signed-By.
  printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" "Components: main" \
    "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
    $sudo tee /etc/apt/sources.list.d/zeltra-src.sources >/dev/null
  $sudo apt-get update -qq
fi
(cd "$work" && apt-get source -qq --download-only "qt6-base=$version" >/dev/null && dpkg-source -x qt6-base_*.dsc src >/dev/null)

# A toolchain file for Qt's own build: the MinGW compilers, the MinGW tree
# for headers and libraries, programs from the host. Without it Qt quietly
# builds for Linux.
cat >"$work/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

mkdir -p "$work/build"
cd "$work/build"
echo "Configuring Qt $upstream for Windows ($prefix)"
"$work/src/configure" -prefix "$prefix" "${options[@]}" -- \
  "${cmake_options[@]}" -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -G Ninja >"$work/configure.log" 2>&1 ||
  { tail -n 40 "$work/configure.log" >&2; exit 1; }
echo "Building Qt (about an hour on two cores)"
cmake --build . --parallel 2 >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }
cmake --install . >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log" >&2; exit 1; }

# Qt's own Polish texts for the dialogs, from Debian's package.
mkdir -p "$prefix/translations"
cp /usr/share/qt6/translations/qtbase_pl.qm "$prefix/translations/"

touch "$prefix/.complete"
rm -rf "$work"
echo "Qt for Windows built in $(( ($(date +%s) - start) / 60 )) min: $prefix"
echo "$prefix"
