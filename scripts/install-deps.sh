#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the programs need, when missing.
#   scripts/install-deps.sh [PACKAGE...]   also the packages named (scripts/package.sh's tools)
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsqlite3-dev sqlite3 jq libxml2-utils curl
  libpq-dev postgresql
  libpugixml-dev libxml2-dev libfmt-dev nlohmann-json3-dev libcli11-dev
  libarchive-dev libmicrohttpd-dev libsystemd-dev libcpp-httplib-dev libcurl4-openssl-dev python3
  libssl-dev chromium
  libgtest-dev libgmock-dev
  clang-14 libclang-rt-14-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
