#!/usr/bin/env bash
# Checks that the folders under src/ include only the layers beneath them:
#   core <- engine <- canvas <- model <- headless; core, engine, canvas <- ui; core <- chart;
#   app over all but headless.
# core, engine, canvas, model and headless include no Qt header. A folder of src/ without a rule
# here fails the check too: every layer must say what it may include. Prints every offending line
# and exits non-zero when there is one.
#   scripts/check_includes.sh [SRC]   checks SRC instead of src/ (the check's own test uses it)
set -euo pipefail
cd "$(dirname "$0")/.."
src=${1:-src}

# Folder, then the project folders its files may include.
rules=(
  "core:core"
  "engine:core engine"
  "canvas:core engine canvas"
  "model:core engine canvas model"
  "headless:core engine canvas model headless"
  "ui:core engine canvas ui"
  "chart:core chart"
  "app:core engine canvas model ui chart app"
)
qt_free="core engine canvas model headless"

status=0
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  known=0
  for rule in "${rules[@]}"; do [ "${rule%%:*}" = "$folder" ] && known=1; done
  if [ "$known" -eq 0 ]; then
    echo "$src/$folder: no include rule for this folder (add one to scripts/check_includes.sh)"
    status=1
  fi
done

for rule in "${rules[@]}"; do
  folder=${rule%%:*}
  allowed=" ${rule#*:} "
  [ -d "$src/$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    rest=${line#*:}
    rest=${rest#*:}
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^">]*)[">].*/\1/' <<<"$rest")
    bad=""
    if [[ $target == */* ]]; then
      top=${target%%/*}
      if [ -d "$src/$top" ] && [[ $allowed != *" $top "* ]]; then bad="includes $src/$top"; fi
    fi
    if [[ " $qt_free " == *" $folder "* ]] && [[ $target =~ ^Q|^qt|^Qt ]]; then
      bad="includes Qt"
    fi
    if [ -n "$bad" ]; then
      echo "$file: $bad: $target"
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' "$src/$folder" || true)
done

if [ "$status" -ne 0 ]; then
  echo "include check failed: a layer includes one above it, or a folder has no rule (see scripts/check_includes.sh)" >&2
fi
exit "$status"
