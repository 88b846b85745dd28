#!/usr/bin/env bash
# The workbook libraries for Windows (expat, minizip, libxlsxwriter),
# cross-built with MinGW-w64 as static libraries from Debian's own sources of
# the versions we use on Linux, against Debian's zlib for MinGW, installed
# into one cache folder outside the checkout (include/, lib/) and reused while
# the versions and the options stay the same. Prints the install folder on
# its last line of output.
#   ZELTRA_CACHE   cache folder (default: ~/.cache/zeltra)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

cache=${ZELTRA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zeltra}
sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"

# The Linux -dev packages name the versions to build.
packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libexpat1-dev libminizip-dev libxlsxwriter-dev
          cmake ninja-build dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

toolchain="$here/cmake/mingw-w64-x86_64.cmake"
mingw=/usr/x86_64-w64-mingw32
cc=x86_64-w64-mingw32-gcc-posix
ar=x86_64-w64-mingw32-ar

# Source package and version of each library, as on this machine.
declare -A version
for dev in libexpat1-dev libminizip-dev libxlsxwriter-dev; do
  src=$(dpkg-query -W -f='${source:Package}' "$dev")
  version[$src]=$(dpkg-query -W -f='${source:Version}' "$dev")
done
zlib_version=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)

# The options decide the result; a change of them is a new cache entry.
# libxlsxwriter: its own copy of minizip left out for ours (as Debian does);
# temporary files from its tmpfileplus (in %TMP% or the tmpdir option,
# deleted on close), not the C library's tmpfile(), which Windows puts in
# C:\; no fmemopen() (MinGW has none); its bundled MD5, not OpenSSL's.
# Built with MinGW it opens the .xlsx with fopen() (its Win32 UTF-16 code is
# for MSVC only), so file names are in the ANSI code page, as for tmpdir.
expat_options=(-DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_EXAMPLES=OFF
               -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF)
minizip_sources=(ioapi.c mztools.c unzip.c zip.c iowin32.c)
minizip_headers=(crypt.h ioapi.h mztools.h unzip.h zip.h iowin32.h)
minizip_cflags=(-O2 -Wall)
xlsx_options=(-DBUILD_SHARED_LIBS=OFF -DUSE_SYSTEM_MINIZIP=ON -DUSE_STANDARD_TMPFILE=OFF -DUSE_FMEMOPEN=OFF
              -DUSE_OPENSSL_MD5=OFF -DUSE_NO_MD5=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF)
# The one change to a Debian source, in expat's CMake files (see below).
expat_change="config-dtd-ns-1"
key=$(printf '%s\n' "${version[expat]}" "${version[minizip]}" "${version[libxlsxwriter]}" "$zlib_version" \
        "${expat_options[@]}" "${minizip_sources[@]}" "${minizip_cflags[@]}" "${xlsx_options[@]}" \
        "$expat_change" "$(sha256sum <"$toolchain")" | sha256sum | cut -c1-12)
prefix="$cache/libs-mingw-$key"

if [ -f "$prefix/.complete" ]; then
  echo "Workbook libraries for Windows from the cache ($(paste -sd, "$prefix/versions.txt" | sed 's/,/, /g')): $prefix"
  echo "$prefix"
  exit 0
fi

start=$(date +%s)
work="$cache/libs-mingw-$key.build"
rm -rf "$work" "$prefix"
mkdir -p "$work"

# Debian's sources need deb-src lines: the versions on this machine may come
# from the security archive, which a deb-src line for bookworm alone misses.
sources_found() {
  local s
  for s in "${!version[@]}"; do
    apt-cache showsrc --only-source "$s" 2>/dev/null | grep -Fqx "Version: ${version[$s]}" || return 1
  done
}
if ! sources_found; then
  echo "Adding deb-src lines for Debian 12 and its updates"
  # In the form of Debian 12's own sources, with the same key: a one-line
  # entry for the same archive would clash with its Signed-By.
  printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm bookworm-updates" \
    "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" "" \
    "Types: deb-src" "URIs: http://deb.debian.org/debian-security" "Suites: bookworm-security" \
    "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
    $sudo tee /etc/apt/sources.list.d/zeltra-src.sources >/dev/null
  $sudo apt-get update -qq
fi

# Unpacked with Debian's patches applied; every patch of the series checked.
# A version the archive no longer serves (a newer security update replaced
# it, or a mirror without it) gives way to the newest one that can be had;
# the versions built are written to versions.txt in the install folder.
fetch() {  # fetch SOURCE VERSION
  (cd "$work" && apt-get source -qq --download-only "$1=$2" >>"$work/source.log" 2>&1)
}
source_versions() {  # the archive's versions of a source package, newest first
  local sorted=() v i
  for v in $(apt-cache showsrc --only-source "$1" | sed -n 's/^Version: //p'); do
    for ((i = 0; i < ${#sorted[@]}; i++)); do
      dpkg --compare-versions "$v" ge "${sorted[i]}" && break
    done
    [ "$i" -lt ${#sorted[@]} ] && [ "$v" = "${sorted[i]}" ] && continue
    sorted=("${sorted[@]:0:i}" "$v" "${sorted[@]:i}")
  done
  printf '%s\n' "${sorted[@]}"
}
for s in expat minizip libxlsxwriter; do
  if ! fetch "$s" "${version[$s]}"; then
    found=""
    for v in $(source_versions "$s"); do
      [ "$v" != "${version[$s]}" ] && fetch "$s" "$v" && { found=$v; break; }
    done
    [ -n "$found" ] || { echo "No Debian source of $s to be had:" >&2; tail -n 20 "$work/source.log" >&2; exit 1; }
    echo "WARNING: $s ${version[$s]} (as on Linux) cannot be fetched: building $found"
    version[$s]=$found
  fi
  (cd "$work" && dpkg-source -x "${s}_${version[$s]#*:}.dsc" "$s" >>"$work/source.log" 2>&1) ||
    { tail -n 20 "$work/source.log" >&2; exit 1; }
  series="$work/$s/debian/patches/series"
  if [ -f "$series" ]; then
    if ! diff <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$series" | awk '{print $1}') \
              "$work/$s/.pc/applied-patches" >/dev/null 2>&1; then
      echo "$s: Debian's patches not all applied" >&2; exit 1
    fi
    echo "$s ${version[$s]}: $(wc -l <"$work/$s/.pc/applied-patches") Debian patches applied"
  else
    echo "$s ${version[$s]}: no Debian patches"
  fi
done

log="$work/build.log"
fail() { echo "$1 failed:" >&2; tail -n 40 "$log" >&2; exit 1; }
cmake_build() {  # cmake_build NAME SOURCE OPTIONS...
  local name=$1 src=$2; shift 2
  cmake -S "$src" -B "$work/build-$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >>"$log" 2>&1 || fail "$name (configure)"
  cmake --build "$work/build-$name" --parallel 2 >>"$log" 2>&1 || fail "$name (build)"
  cmake --install "$work/build-$name" >>"$log" 2>&1 || fail "$name (install)"
}

echo "Building expat ${version[expat]}"
# Debian's expat is upstream's whole tree; the library is in its expat/.
# Debian builds it with autotools, whose config.h defines XML_DTD and XML_NS
# as 1, and its CVE-2024-8176 patch tests "#if XML_DTD == 1"; CMake's
# expat_config.h defines them empty, so they get the 1 here too.
expat_src="$work/expat"; [ -f "$expat_src/CMakeLists.txt" ] || expat_src="$work/expat/expat"
sed -i -e 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' -e 's/^#cmakedefine XML_NS$/#cmakedefine XML_NS 1/' \
  "$expat_src/expat_config.h.cmake"
cmake_build expat "$expat_src" "${expat_options[@]}"

# minizip has only autotools files; its library is a handful of C files,
# installed as Debian's libminizip-dev installs it (include/minizip/).
echo "Building minizip ${version[minizip]}"
mkdir -p "$work/build-minizip" "$prefix/lib/pkgconfig" "$prefix/include/minizip"
for f in "${minizip_sources[@]}"; do
  "$cc" "${minizip_cflags[@]}" -I"$work/minizip" -c "$work/minizip/$f" -o "$work/build-minizip/${f%.c}.o" \
    >>"$log" 2>&1 || fail "minizip ($f)"
done
"$ar" rcs "$prefix/lib/libminizip.a" "$work/build-minizip/"*.o
for h in "${minizip_headers[@]}"; do install -m 644 "$work/minizip/$h" "$prefix/include/minizip/"; done
sed -e "s|@prefix@|$prefix|; s|@exec_prefix@|$prefix|; s|@libdir@|$prefix/lib|; s|@includedir@|$prefix/include|" \
    -e "s|@PACKAGE_VERSION@|${version[minizip]%%-*}|" "$work/minizip/minizip.pc.in" >"$prefix/lib/pkgconfig/minizip.pc"

echo "Building libxlsxwriter ${version[libxlsxwriter]}"
# Its FindMINIZIP reads zlib.h beside minizip/: a folder with both.
mkdir -p "$work/minizip-include"
ln -s "$prefix/include/minizip" "$work/minizip-include/minizip"
ln -s "$mingw/include/zlib.h" "$mingw/include/zconf.h" "$work/minizip-include/"
cmake_build libxlsxwriter "$work/libxlsxwriter" "${xlsx_options[@]}" \
  -DMINIZIP_INCLUDE_DIR="$work/minizip-include" -DMINIZIP_LIBRARY="$prefix/lib/libminizip.a" \
  -DZLIB_INCLUDE_DIR="$mingw/include" -DZLIB_LIBRARY="$mingw/lib/libz.a"

# A program using all three, linked statically as ours are.
cat >"$work/check.c" <<'EOF'
#include <xlsxwriter.h>
#include <minizip/unzip.h>
#include <minizip/iowin32.h>
#include <expat.h>
int main(void)
{
    zlib_filefunc64_def files;
    fill_win32_filefunc64W(&files);
    XML_Parser parser = XML_ParserCreate(NULL);
    XML_ParserFree(parser);
    return workbook_new(NULL) != NULL || unzOpen2_64(NULL, &files) != NULL;
}
EOF
"$cc" -static -DXML_STATIC -I"$prefix/include" "$work/check.c" -o "$work/check.exe" -L"$prefix/lib" \
  -lxlsxwriter -lminizip -lexpat -lz >>"$log" 2>&1 || fail "A static program with the libraries"

printf '%s\n' "expat ${version[expat]}" "minizip ${version[minizip]}" "libxlsxwriter ${version[libxlsxwriter]}" \
  "libz-mingw-w64 $zlib_version" >"$prefix/versions.txt"
touch "$prefix/.complete"
rm -rf "$work"
echo "Workbook libraries for Windows built in $(( $(date +%s) - start )) s: $prefix"
echo "$prefix"
