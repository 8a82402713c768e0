# The Debian packages Velmora builds, tests and runs with, and the installer of those missing.
# Sourced by scripts/run, scripts/test and scripts/check_deps.sh.
#
# Only what is named here is on a bare Debian 12 after installing without recommends: each
# package the configure, the build, the tests or the program use must be in this list or be a
# hard dependency of one in it (scripts/check_deps.sh checks that).
VELMORA_PACKAGES=(
  g++ cmake make
  qt6-base-dev libqt6opengl6-dev qt6-charts-dev libgl-dev # Qt Charts' CMake files need Qt6OpenGL
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick # the real-window test and screenshots
  fonts-wine fonts-dejavu-core   # Tahoma for the windows, a fallback font
  clang-format                   # the format check
  libgdal-dev                    # velmora-town reads rasters and vector layers with GDAL/OGR
  gdal-bin                       # the README's worked example makes its data with GDAL's tools
)

velmora_ensure_deps() {
  local missing=()
  for p in "${VELMORA_PACKAGES[@]}"; do
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
