#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the client needs.
# Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev qt6-translations-l10n
  libpcre2-dev libcurl4-openssl-dev libssl-dev libxml2-dev libsqlite3-dev
  libfreexl-dev libsimpleini-dev libicu-dev libcpp-httplib-dev libminizip-dev zlib1g-dev
  libcli11-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth fonts-wqy-microhei
  python3
  clang libclang-rt-14-dev
  dpkg-dev desktop-file-utils file lintian appstream man-db bash-completion
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
