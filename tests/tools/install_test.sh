#!/usr/bin/env bash
# cmake --install into a scratch prefix, then a host project finds the driver both ways: CMake's
# find_package(vk605) and pkg-config. Usage: install_test.sh BUILD_DIR
set -euo pipefail
build_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
libdir=$(find "$prefix" -name libvk605.so -printf '%h\n')
for file in "$prefix/include/vk605/vk605.h" "$prefix/bin/vk605" "$prefix/bin/vk605-sim" \
            "$prefix/lib/udev/rules.d/70-vk605.rules" "$libdir/libvk605.so" "$libdir/pkgconfig/vk605.pc" \
            "$libdir/cmake/vk605/vk605Config.cmake" "$libdir/cmake/vk605/vk605ConfigVersion.cmake"; do
  [[ -f "$file" ]] || { echo "not installed: $file" >&2; exit 1; }
done

# The installed program finds the installed driver beside itself (../lib...).
"$prefix/bin/vk605" --version | grep -qx 'vk605 [0-9.]*'

cflags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags vk605)
libs=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --libs vk605)
flags="$cflags $libs"
include_dir=${cflags#-I}
include_dir=${include_dir%% *}
library_dir=${libs#-L}
library_dir=${library_dir%% *}
[[ -f "$include_dir/vk605/vk605.h" && -f "$library_dir/libvk605.so" && "$libs" == *-lvk605* ]] ||
  { echo "pkg-config says: $flags" >&2; exit 1; }

mkdir -p "$scratch/host"
cat >"$scratch/host/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(host C)
find_package(vk605 1.0 REQUIRED)
add_executable(host host.c)
target_link_libraries(host PRIVATE vk605::vk605)
CMAKE
cat >"$scratch/host/host.c" <<'C'
#include <stdio.h>
#include <vk605/vk605.h>
int main(void) { printf("%d\n", GetWavelengthCount()); return 0; }
C
cmake -S "$scratch/host" -B "$scratch/host/build" -G Ninja "-DCMAKE_PREFIX_PATH=$prefix" >/dev/null
cmake --build "$scratch/host/build" >/dev/null
# Loading runs the driver's start-up and exit; its settings land in a scratch configuration directory.
XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/run VK605_REGISTRY=$scratch/registry.ini \
  "$scratch/host/build/host" | grep -qx 40
# The CFLAGS and LIBS of pkg-config build the same host.
# shellcheck disable=SC2086 # the flags are words
cc "$scratch/host/host.c" $flags -o "$scratch/host-pc"
echo "install: ok"
