#!/usr/bin/env bash
# Fails when a tracked or new C++ file is not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | sort -u)
[[ ${#files[@]} -eq 0 ]] && exit 0
existing=()
for f in "${files[@]}"; do [[ -f "$f" ]] && existing+=("$f"); done
clang-format --dry-run --Werror "${existing[@]}"
