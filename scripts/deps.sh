# Sourced by scripts/run, scripts/test and .ci/run: installs the Debian
# packages the build needs when any of them is missing.

TESSALY_PACKAGES=(
  build-essential cmake ninja-build
  qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  pkg-config librtmidi-dev libjack-jackd2-dev libboost-dev libsqlite3-dev qt6-charts-dev
  libqt6opengl6-dev
  fonts-dejavu-core desktop-file-utils
)

tessaly_ensure_packages() {
  local missing=() pkg
  for pkg in "${TESSALY_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Missing packages (${missing[*]}) and no sudo to install them." >&2; return 1; }
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
