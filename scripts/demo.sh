#!/usr/bin/env bash
# The main job on the embedded defaults: builds, creates a demo profile with a
# demo logger installation, and runs every plug-in on it with scripted actions.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release/bin
demo=${DEMO_DIR:-build/demo}
rm -rf "$demo"
profile="$demo/profile"
"$bin/hamhost" --profile "$profile" init --demo
echo "== plug-ins"
"$bin/hamhost" --profile "$profile" plugins
run() { # caption, actions file, [profile]
  local caption=$1 actions=$2 target=${3:-$profile}
  [ -f "$actions" ] || return 0
  echo "== $caption"
  "$bin/hamhost" --profile "$target" run "$caption" --actions "$actions"
}
run "Export Callbook as Zemrak updates" demo/CallbookExport.actions
if [ -f demo/CallbookImport.actions ]; then
  # The exported package goes into a second, empty profile as well.
  "$bin/hamhost" --profile "$demo/second" init >/dev/null
  if [ -f "$profile/download/DB.zip" ]; then cp "$profile/download/DB.zip" "$demo/second/download/DB.zip"; fi
  run "Import Zemrak updates into Callbook" demo/CallbookImport.actions "$demo/second"
  run "Import Zemrak updates into Callbook" demo/CallbookImport.actions
fi
run "Append Zemrak log data into current log" demo/LogAppend.actions
run "Store Callbook to Zemrak log" demo/CallbookStore.actions
echo "== host log"
cat "$profile/host.log" 2>/dev/null || true
echo "Demo profile: $profile"
