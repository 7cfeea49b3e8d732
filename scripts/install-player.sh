#!/bin/sh
# Fetches the preview's player, the npm package @ruffle-rs/ruffle at a pinned version, into
# .player/ (ignored by git); the build copies its files beside the program. Installs npm from
# Debian only when no npm command exists (Debian's npm conflicts with a nodejs from elsewhere).
set -eu
cd "$(dirname "$0")/.."
version="0.6.0"
folder=".player"
installed="$folder/node_modules/@ruffle-rs/ruffle/package.json"
if [ -f "$installed" ] && grep -q "\"version\": *\"$version\"" "$installed"; then
  exit 0
fi
if ! command -v npm >/dev/null 2>&1; then
  echo "Installing: npm"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends npm
fi
echo "Fetching the player: @ruffle-rs/ruffle@$version"
mkdir -p "$folder"
npm install --prefix "$folder" --no-save --no-audit --no-fund --no-package-lock \
  "@ruffle-rs/ruffle@$version"
