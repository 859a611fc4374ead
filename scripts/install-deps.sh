#!/usr/bin/env bash
# Installs, on Debian 12, every package that building and testing Kestrel needs. Safe to run again:
# it only asks apt for what is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-liberation
  xvfb xauth x11-utils man-db dpkg-dev desktop-file-utils
  binutils file lintian appstream mandoc
  nlohmann-json3-dev llvm-14-tools neovim unzip
)
# The Windows build and Wine, which runs its console programs: what Wine recommends serves
# windows, sound and printing, none of which a console program needs.
windows_packages=(g++-mingw-w64-x86-64-posix googletest wine wine64)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
updated=false

# Installs those of the packages given after the apt-get options in $1 that are missing.
install_missing() {
  local options=$1 missing=() package
  shift
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  ((${#missing[@]})) || return 0
  if [ "$updated" = false ]; then
    $sudo apt-get update
    updated=true
  fi
  # shellcheck disable=SC2086  # the options are words of their own
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y $options "${missing[@]}"
}

# The VS Code extension is built with Node.js 20 or later and npm; Debian's own are only a fallback
# for a machine that has none.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

install_missing "" "${packages[@]}"
install_missing --no-install-recommends "${windows_packages[@]}"
