#!/usr/bin/env bash
# Fails when a C++ source of the project does not follow .clang-format; --fix rewrites them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | grep -v '^tests/third_party/')
[ "${1:-}" = --fix ] && exec clang-format-14 -i "${sources[@]}"
clang-format-14 --dry-run --Werror "${sources[@]}"
