#!/usr/bin/env bash
# Installs every Debian package the suite needs to build, test and run.
# Run as root on Debian 12; safe to run again.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: run as root (it calls apt-get)" >&2
  exit 1
fi
packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev
  # image codecs and drawing
  libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev libtiff-dev
  # clipboard
  libxcb1-dev
  # speech
  libespeak-ng-dev espeak-ng-data libpulse-dev libasound2-dev
  # test components: X server and clipboard tool, speech and sound tools
  xvfb xclip espeak-ng sox
)
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${packages[@]}"
