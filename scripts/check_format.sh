#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted the way .clang-format says.
# Format a file with: clang-format -i <file>
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "check_format: clang-format is missing (scripts/setup.sh installs it)" >&2
  exit 1
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror
echo "check_format: every C++ file is formatted"
