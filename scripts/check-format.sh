#!/bin/sh
# Fails when a tracked C++ source differs from what clang-format makes of it, naming the
# places. Outside a git checkout every source below the top folder is checked.
set -eu
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
else
  find . -path ./build\* -prune -o -path ./.player -prune -o \( -name '*.cpp' -o -name '*.h' \) \
    -print0 | xargs -0 clang-format --dry-run --Werror
fi
