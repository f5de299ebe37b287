#!/usr/bin/env bash
# Shared by run.sh and test.sh: installs the Debian packages the build needs
# (only those missing), configures once and builds. Sourced, not run.
# Usage: zanto_setup BUILD_DIR [--target NAME]... [extra cmake options...]
#   Without --target every target is built; with it only the named ones and
#   what they need (run.sh wants the tool and the simulator, not the tests).

ZANTO_PACKAGES=(
  cmake ninja-build g++ pkg-config # the build
  qt6-base-dev                     # Qt Core, Gui, Widgets, Network, Test
  qt6-serialport-dev               # QSerialPort
  libgl-dev                        # Qt's Gui package needs the OpenGL headers to configure
  fonts-dejavu-core                # a real font for the offscreen and Xvfb screens
  fonts-liberation2                # the narrow sans-serif the fixed layout was drawn for
)

zanto_install_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo=(sudo); else
      echo "Please install as root: apt-get install ${missing[*]}" >&2
      return 1
    fi
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

zanto_setup() {
  local build_dir=$1; shift
  local targets=()
  while [ "${1:-}" = "--target" ]; do
    [ -n "${2:-}" ] || { echo "zanto_setup: --target wants a name" >&2; return 1; }
    targets+=("$2"); shift 2
  done
  zanto_install_packages "${ZANTO_PACKAGES[@]}" || return 1
  # Configure only once per build directory (or when the options change).
  local stamp="$build_dir/.zanto-options" options="$*"
  if [ ! -f "$build_dir/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$options" ]; then
    cmake -S . -B "$build_dir" -G Ninja "$@" || return 1
    echo "$options" > "$stamp"
  fi
  local build=(cmake --build "$build_dir" -j "$(nproc)")
  [ ${#targets[@]} -eq 0 ] || build+=(--target "${targets[@]}")
  "${build[@]}" || return 1
}
