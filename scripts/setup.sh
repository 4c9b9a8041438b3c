#!/usr/bin/env bash
# Installs the Debian packages Trelvo needs to build, test and run.
# Idempotent: when every package is present it returns at once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-translations-l10n libgl-dev
  libcurl4-openssl-dev libcpp-httplib-dev libpugixml-dev libsodium-dev openssl nginx-light
  libgtest-dev libgmock-dev libbenchmark-dev libexpat1-dev libxlsxwriter-dev libminizip-dev libzip-dev zlib1g-dev
  libhunspell-dev hunspell-cs hunspell-sk hunspell-ru hunspell-en-us hunspell-de-de
  clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core imagemagick
  time sqlite3
  python3-translate python3-openpyxl
  dpkg-dev file lintian desktop-file-utils appstream librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
