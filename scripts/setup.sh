#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12) and builds.
#   BUILD_DIR   build folder (default: build)
#   CMAKE_ARGS  extra arguments for cmake's configure step
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config
          qt6-base-dev qt6-translations-l10n
          libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth fonts-dejavu-core poppler-utils
          clang libclang-rt-14-dev
          libxlsxwriter-dev libminizip-dev libexpat1-dev zlib1g-dev libreoffice-calc)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir=${BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build_dir" -j2
