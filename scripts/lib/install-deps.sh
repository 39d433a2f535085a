# shellcheck shell=bash
# Installs the Debian packages the build and the tests need (argyll: the tools tests read vk605's files
# with Argyll's spec2cie). Sourced by scripts/test, scripts/demo and
# scripts/build; call vk605_install_deps [extra packages...].
#
# Packages already installed are detected with dpkg-query, so apt is skipped entirely when nothing is
# missing. 32-bit Wine (wine32) is never installed: 32-bit programs cannot run on these machines, and
# with wine32 present the plain `wine` command tries the 32-bit loader.

VK605_BASE_PACKAGES=(
  g++
  cmake
  ninja-build
  googletest
  libgtest-dev
  python3
  clang-format
  pkg-config
  libcolord-dev
  colord-data
  liblcms2-dev
  libcairo2-dev
  nlohmann-json3-dev
  argyll
  libgtk-3-dev
  xvfb
  libusb-1.0-0-dev
  umockdev
  libumockdev-dev
)

# shellcheck disable=SC2034 # used by the scripts that source this file
VK605_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64
  g++-mingw-w64-i686
  binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686
  wine
  wine64
)

# shellcheck disable=SC2034 # used by scripts/fuzz
VK605_FUZZ_PACKAGES=(
  clang
  libclang-rt-14-dev
)

vk605_package_installed() {
  local status
  status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null) || return 1
  [[ "$status" == ii* ]]
}

vk605_missing_packages() {
  local package
  for package in "$@"; do
    vk605_package_installed "$package" || printf '%s\n' "$package"
  done
}

vk605_as_root() {
  if [[ "$(id -u)" == 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "error: root rights are needed to run: $*" >&2
    echo "       run as root or install sudo" >&2
    return 1
  fi
}

# vk605_install_deps [package...]: the base packages, plus the given ones.
vk605_install_deps() {
  if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    echo "error: this script installs its tools with apt-get (Debian 12); install them by hand:" >&2
    echo "       ${VK605_BASE_PACKAGES[*]} $*" >&2
    return 1
  fi
  local missing
  mapfile -t missing < <(vk605_missing_packages "${VK605_BASE_PACKAGES[@]}" "$@")
  if ((${#missing[@]} == 0)); then
    echo "dependencies: all installed"
    return 0
  fi
  echo "dependencies: installing ${missing[*]}"
  vk605_as_root env DEBIAN_FRONTEND=noninteractive apt-get update
  vk605_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  mapfile -t missing < <(vk605_missing_packages "${VK605_BASE_PACKAGES[@]}" "$@")
  if ((${#missing[@]} != 0)); then
    echo "error: still missing after apt-get install: ${missing[*]}" >&2
    return 1
  fi
}
