# Shared by the scripts: install what is missing, then configure and build incrementally.
# Sourced, not run.
set -euo pipefail

ZUMO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZUMO_BUILD=${ZUMO_BUILD:-$ZUMO_ROOT/${ZUMO_BUILD_NAME:-build}}

# Debian 12 packages the project needs to build, test, benchmark and run its virtual desktop.
ZUMO_PACKAGES=(
  build-essential cmake ninja-build pkg-config git python3
  qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev libssl-dev libarchive-dev
  clang libclang-rt-14-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-keysyms1-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev
  libxcb-xtest0-dev libxcb-composite0-dev libxcb-image0-dev libxcb-shape0-dev libxcb-damage0-dev libxcb-res0-dev
  libx11-dev
  xvfb xauth openbox fluxbox icewm i3-wm marco mate-settings-daemon-common metacity xfwm4
  mutter muffin cinnamon-settings-daemon kwin-x11 xdotool x11-utils x11-xkb-utils xterm imagemagick alttab trayer dbus at-spi2-core
  gsettings-desktop-schemas dconf-service dconf-gsettings-backend libglib2.0-bin
  fonts-dejavu-core
  sway foot wtype grim qt6-wayland libwayland-dev wayland-protocols
  gnome-shell gjs python3-dbusmock
  kwin-wayland plasma-wayland-protocols libgl1-mesa-dri
  dpkg-dev file lintian appstream desktop-file-utils python3-debian systemd e2fsprogs mount
  libcpp-httplib-dev libsqlite3-dev libpq-dev postgresql openssl nginx wrk curl
)

zumo_install_packages() {
  local missing=()
  local pkg
  for pkg in "${ZUMO_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

zumo_build() {
  local build_type=${ZUMO_BUILD_TYPE:-RelWithDebInfo}
  if [ ! -f "$ZUMO_BUILD/build.ninja" ]; then
    cmake -S "$ZUMO_ROOT" -B "$ZUMO_BUILD" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "$@"
  elif [ $# -gt 0 ]; then
    cmake "$ZUMO_BUILD" "$@"
  fi
  cmake --build "$ZUMO_BUILD" --parallel "$(nproc)"
}

# The public half (64 hex digits) of an Ed25519 private key in PEM form.
zumo_public_key_of() {
  openssl pkey -in "$1" -pubout -outform DER | tail -c 32 | od -An -v -tx1 | tr -d ' \n'
}

# Stops unless $1 can be a maker's public key: 64 hex digits, and not the test key of
# tests/update/keys/, whose private half anyone can read (a build pinning it cannot update itself).
zumo_require_release_key() {
  if ! [[ $1 =~ ^[0-9a-f]{64}$ ]]; then
    echo "not an Ed25519 public key (64 lower-case hex digits): '$1'" >&2
    exit 2
  fi
  if [ "$1" = "$(tr -d ' \n' <"$ZUMO_ROOT/tests/update/keys/test-signing.pub.hex")" ]; then
    echo "refused: $1 is the test key of tests/update/keys/; releases pin the maker's key (docs/update-keys.md)" >&2
    exit 2
  fi
}

# Configures and builds the release tree (build-release/ unless ZUMO_BUILD is set) pinning the
# maker's public key $1; the test tree build/ keeps the test key its tests sign with.
zumo_release_build() {
  zumo_require_release_key "$1"
  ZUMO_BUILD_TYPE=${ZUMO_BUILD_TYPE:-Release} zumo_build -DZUMO_UPDATE_PUBLIC_KEY="$1" \
    -DZUMO_BUILD_TESTS=OFF -DZUMO_BUILD_BENCH=OFF
}
