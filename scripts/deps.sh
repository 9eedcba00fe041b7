#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail
source "$(dirname "$0")/apt-waiting.sh"

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libwxgtk3.2-dev libtinyxml2-dev libsmbclient-dev libgphoto2-dev libcurl4-openssl-dev
  libsecret-1-dev libsqlite3-dev libgtest-dev libgmock-dev libgtk-3-dev libglib2.0-dev
)
if [[ "${1:-}" == "--tests" ]]; then
  # libclang-rt-14-dev holds the libFuzzer and sanitizer runtimes, which clang only recommends.
  packages+=(samba smbclient xvfb xauth xdg-utils gphoto2 iproute2 imagemagick xdotool clang
             python3 dbus-x11 at-spi2-core libclang-rt-14-dev
             desktop-file-utils appstream lintian apache2 apache2-utils openssl curl
             g++-mingw-w64-x86-64 wine wine64)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages and not running as root: ${missing[*]}" >&2
    exit 1
  fi
  apt_get_waiting update -qq
  apt_get_waiting install -y -qq --no-install-recommends "${missing[@]}"
fi
