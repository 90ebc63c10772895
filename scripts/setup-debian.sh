#!/usr/bin/env bash
# Installs everything the build, the tests and the program need on a fresh
# Debian 12 machine.  Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev googletest libbenchmark-dev
  liblmdb-dev libsqlite3-dev libssl-dev zlib1g-dev liblz4-dev
  clang libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 xvfb xdotool imagemagick procps python3
  locales fonts-wqy-microhei
  libasio-dev libsodium-dev libpq-dev postgresql
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine must run under a Chinese locale so that the ANSI code page is 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  echo "setup: generating zh_CN.UTF-8"
  $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
echo "setup: ok"
