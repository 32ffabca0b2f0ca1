#!/usr/bin/env bash
# Installs the Debian 12 packages the program, its tests and its tools need.
# Does nothing when they are all present; otherwise uses apt-get (as root, or
# through sudo when available).
set -euo pipefail
pkgs=(g++ cmake ninja-build pkg-config ccache qt6-base-dev libqt6opengl6-dev
      libsqlite3-dev libcurl4-openssl-dev libssl-dev openssl libcpp-httplib-dev
      python3-aiosmtpd xvfb xauth imagemagick curl clang-format qtkeychain-qt6-dev
      poppler-utils desktop-file-utils sqlite3 dpkg-dev file librsvg2-bin xdotool
      qt6-charts-dev dbus dbus-x11)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
