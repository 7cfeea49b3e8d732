#!/bin/sh
# Installs the Debian packages that flashgrab needs to build, run and test, when missing.
set -eu
PACKAGES="cmake ninja-build g++ pkg-config clang-format clang libclang-rt-14-dev
libpcre2-dev zlib1g-dev liblzma-dev libssl-dev libidn2-dev openssl ca-certificates
libgtest-dev libgmock-dev googletest libbenchmark-dev
qt6-base-dev qt6-webengine-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n libgl-dev
fonts-wqy-microhei
nginx dante-server microsocks tinyproxy curl time aria2 wget
xvfb xauth x11-apps imagemagick"
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
fi
sh "$(dirname "$0")/install-player.sh"
