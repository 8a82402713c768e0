#!/usr/bin/env bash
# Fails when clang-format would change any C++ file of the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "check_format: run clang-format -i on the files above" >&2
  exit 1
fi
echo "check_format: ${#files[@]} files formatted"
