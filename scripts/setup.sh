#!/usr/bin/env bash
# Installs, from Debian 12's packages, whatever the build and the tests need and
# the machine does not have yet. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build g++            # the build
  qt6-base-dev qt6-base-dev-tools libgl-dev  # Qt 6 Widgets, Gui, Test and the moc
  libgtest-dev libgmock-dev        # GoogleTest
  libbenchmark-dev                 # Google Benchmark for bench/
  clang libclang-rt-14-dev         # the fuzzer and sanitizer runtimes
  xvfb xauth                       # a display for the editor on a headless machine
  xdotool libx11-dev               # the monkey test's events and its ping of the window
  fonts-wine fonts-nanum           # Tahoma and a Hangul font for the dialogs
  desktop-file-utils appstream shared-mime-info  # the install tests' validators and MIME database
  dpkg-dev                         # dpkg-shlibdeps, for scripts/package.sh
  dbus-daemon at-spi2-core libglib2.0-bin python3-dbus python3-gi  # scripts/atspi-check.sh reads the window through the accessibility bus
  lintian                          # the package test's check of the Debian package
  xdg-utils libfile-mimeinfo-perl  # the install test's xdg-mime queries, as outside a desktop
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
