#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build/fuzz (libraries
# instrumented, AddressSanitizer and UndefinedBehaviorSanitizer) and runs each
# for FUZZ_SECONDS seconds (default 60). Exits non-zero on the first finding;
# the input that caused it is kept in build/fuzz/artifacts/<target>/.
# Inputs found so far stay in build/fuzz/corpus/<target>/ for the next run;
# a folder fuzz/<name>/corpus, when present, seeds it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=build/fuzz

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ not found (Debian package clang)" >&2
  exit 2
fi

# target name -> its folder, from the ham_fuzzer() calls.
declare -A folder
for list in fuzz/*/CMakeLists.txt; do
  for target in $(sed -n 's/^[[:space:]]*ham_fuzzer(\([A-Za-z0-9_]*\).*/\1/p' "$list"); do
    folder[$target]=$(dirname "$list")
  done
done
if [ ${#folder[@]} -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets under fuzz/" >&2
  exit 2
fi
targets=$(printf '%s\n' "${!folder[@]}" | sort)

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHAM_FUZZ=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

for target in $targets; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  dirs=("$corpus")
  if [ -d "${folder[$target]}/corpus" ]; then dirs+=("${folder[$target]}/corpus"); fi
  echo "== $target (${seconds}s)"
  if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
       -artifact_prefix="$artifacts/" "${dirs[@]}"; then
    echo "fuzz.sh: $target found a failing input; see $artifacts/" >&2
    exit 1
  fi
done
echo "fuzz.sh: no findings in $(echo "$targets" | wc -w) targets"
