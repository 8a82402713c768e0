#!/usr/bin/env bash
# Fails when the package list in scripts/deps.sh misses a package the configure reads.
#
# Configures the project in a scratch folder, takes every system file CMake read (the build
# folder's CMakeFiles/Makefile.cmake lists them), finds the packages that own those files, and
# checks that each is named in the list or is a hard dependency of a package in it. A package
# installed on this machine by other means would otherwise go unnoticed until a user on a bare
# machine meets the failing configure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

# Extras CMake reads only when they happen to be installed; the build works without them.
#   libgmock-dev: GTest's CMake files include the GMock targets when they are present; the
#   tests use GTest alone.
allowed=(libgmock-dev)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake -S . -B "$scratch" -DCMAKE_BUILD_TYPE=Release >/dev/null

# Every file the configure read from outside the source and build folders.
files=$(sed -n '/^set(CMAKE_MAKEFILE_DEPENDS/,/^  )/p' "$scratch/CMakeFiles/Makefile.cmake" |
  sed -n 's/^  "\(\/.*\)"$/\1/p' | grep -v -e "^$PWD/" -e "^$scratch/" | sort -u)
[ -n "$files" ] || { echo "check_deps: no system files found in the configure" >&2; exit 1; }

# Owners of those files (dpkg -S names several for diverted files: "a, b: path").
owners=$(for f in $files; do
  # A path through a symlinked folder may be recorded under its real name only.
  dpkg -S "$f" 2>/dev/null || dpkg -S "$(readlink -f "$f")" 2>/dev/null ||
    echo "UNOWNED: $f"
done | sed 's/: \/.*$//' | tr ',' '\n' | sed 's/^ *//; s/:.*$//' | sort -u)
if grep -q '^UNOWNED' <<<"$owners"; then
  echo "check_deps: files of the configure that no package owns:" >&2
  grep '^UNOWNED' <<<"$owners" >&2
  exit 1
fi

# The list and everything it pulls in without recommends.
if ! apt-cache show "${VELMORA_PACKAGES[0]}" >/dev/null 2>&1; then apt-get update -qq; fi
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
  --no-breaks --no-replaces --no-enhances "${VELMORA_PACKAGES[@]}" |
  sed -n 's/^ *\(|\)\?\(Pre\)\?Depends: //p; /^[^ ]/p' | tr -d '<>' | sed 's/:.*$//' | sort -u)

missing=()
for p in $owners; do
  grep -qx "$p" <<<"$closure" && continue
  printf '%s\n' "${allowed[@]}" | grep -qx "$p" && continue
  missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "check_deps: the configure reads files of packages that scripts/deps.sh does not install:" >&2
  for p in "${missing[@]}"; do
    echo "  $p (for example $(dpkg -L "$p" | grep -F -f <(tr ' ' '\n' <<<"$files") | head -1))" >&2
  done
  exit 1
fi
echo "check_deps: all $(wc -w <<<"$owners") packages the configure reads come with scripts/deps.sh"
