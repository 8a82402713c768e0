#!/usr/bin/env bash
# Checks that the folders under src/ include only the layers beneath them:
#   core <- canvas <- model <- headless, and core, canvas <- ui; core <- chart; all <- app.
# core, canvas, model and headless include no Qt header. Prints every offending line and exits
# non-zero when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# Folder, then the project folders its files may include.
rules=(
  "core:core"
  "canvas:core canvas"
  "model:core canvas model"
  "headless:core canvas model headless"
  "ui:core canvas ui"
  "chart:core chart"
  "app:core canvas model ui chart app"
)
qt_free="core canvas model headless"

status=0
for rule in "${rules[@]}"; do
  folder=${rule%%:*}
  allowed=" ${rule#*:} "
  [ -d "src/$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    rest=${line#*:}
    rest=${rest#*:}
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^">]*)[">].*/\1/' <<<"$rest")
    bad=""
    if [[ $target == */* ]]; then
      top=${target%%/*}
      if [ -d "src/$top" ] && [[ $allowed != *" $top "* ]]; then bad="includes src/$top"; fi
    fi
    if [[ " $qt_free " == *" $folder "* ]] && [[ $target =~ ^Q|^qt|^Qt ]]; then
      bad="includes Qt"
    fi
    if [ -n "$bad" ]; then
      echo "$file: $bad: $target"
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' "src/$folder" || true)
done

if [ "$status" -ne 0 ]; then
  echo "include check failed: a layer includes one above it (see scripts/check_includes.sh)" >&2
fi
exit "$status"
