#!/usr/bin/env bash
# The include check has teeth: it passes on the tree as it is and fails on a copy with a folder
# it has no rule for, with a layer that includes one above it, and with Qt below the window
# layers.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
check="$repo/scripts/check_includes.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

bash "$check" >/dev/null || { echo "FAIL: the tree as it is does not pass"; exit 1; }

expect_failure() {  # name, then the text the check must print
  local name=$1 text=$2 out
  if out=$(bash "$check" "$scratch/src" 2>&1); then
    echo "FAIL: $name passed the check"
    exit 1
  fi
  grep -qF -- "$text" <<<"$out" || { echo "FAIL: $name: expected \"$text\" in: $out"; exit 1; }
  echo "ok: $name"
}
fresh() { rm -rf "$scratch/src" && cp -r "$repo/src" "$scratch/src"; }

fresh
mkdir "$scratch/src/x"
echo '#include "core/random.h"' >"$scratch/src/x/a.h"
expect_failure "a folder without a rule" "src/x: no include rule"

fresh
echo '#include "model/model.h"' >>"$scratch/src/engine/flat_map.h"
expect_failure "the engine including the model" "includes $scratch/src/model: model/model.h"

fresh
echo '#include <QWidget>' >>"$scratch/src/model/town.h"
expect_failure "Qt in the model" "includes Qt: QWidget"
