# Installs the Debian packages Velmora builds, tests and runs with, where missing.
# Sourced by scripts/run and scripts/test.
velmora_ensure_deps() {
  local packages=(g++ cmake make qt6-base-dev libqt6opengl6-dev qt6-charts-dev libgl-dev libgtest-dev
                  libbenchmark-dev xvfb xauth xdotool imagemagick fonts-wine fonts-dejavu-core)
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}
