#!/usr/bin/env bash
# Builds with the given preset (default: dev) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
bash scripts/setup.sh
# Every include points down the layers, and every source file keeps the
# project's format (.clang-format).
python3 scripts/check-layers.py
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
# The sanitizer run also fuzzes the parsers for a while.
if [ "$preset" = asan ] && [ -f scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh
fi
ctest --preset "$preset"
