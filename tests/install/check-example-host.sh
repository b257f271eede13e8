#!/usr/bin/env bash
# Usage: check-example-host.sh BUILD_DIR SOURCE_DIR opengl|vulkan CXX FRAMES_CHECK
# Installs the build into a scratch prefix, builds the example host as a
# developer would (the OpenGL host with find_package(kzLib), the Vulkan host
# with pkg-config kzLib), runs it headless on the curved-3 display's dynamic
# configuration and checks the PNG frames it writes.
set -euo pipefail
build=$1
source=$2
host=$3
cxx=$4
frames_check=$5

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
pc_dir=$(dirname "$(find "$prefix" -name kzLib.pc)")
lib_dir=$(dirname "$(find "$prefix" -name 'libkzLib.so.6')")

# Strict warnings: the hosts are copied from, so they must compile cleanly.
configure=(cmake -S "$source/examples/hosts/$host" -B "$scratch/build" -G Ninja
           -DCMAKE_CXX_COMPILER="$cxx" "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Wpedantic -Werror")
run_options=()
case $host in
  opengl) "${configure[@]}" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null ;;
  vulkan) PKG_CONFIG_PATH=$pc_dir "${configure[@]}" >/dev/null
          run_options=(--validate) ;;  # any validation message fails the run
  *) echo "unknown host $host" >&2; exit 2 ;;
esac
cmake --build "$scratch/build" >/dev/null

width=320
height=200
mkdir "$scratch/out"
LD_LIBRARY_PATH=$lib_dir "$scratch/build/kzhost_$host" "$source/examples/curved-3/dynamic.xml" \
  --headless --frames 4 --size ${width}x$height --out "$scratch/out" "${run_options[@]}"
"$frames_check" $width $height "$scratch"/out/frame-{0,1,2,3}.png
