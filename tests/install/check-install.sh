#!/usr/bin/env bash
# Usage: check-install.sh BUILD_DIR HOST_SOURCE_DIR CXX
# Installs the build into a scratch prefix and builds a host against it twice:
# with pkg-config and with find_package(kzLib).
set -euo pipefail
build=$1
host=$2
cxx=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

pc_dir=$(dirname "$(find "$prefix" -name kzLib.pc)")
lib_dir=$(dirname "$(find "$prefix" -name 'libkzLib.so.6')")

echo "== pkg-config"
flags=$(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs kzLib)
# The public headers must compile cleanly in a strict host; the package's
# flags bring C++17 even to a host that asked for an older standard first.
"$cxx" -std=c++14 -Wall -Wextra -Wpedantic -Werror "$host/host.cpp" $flags -o "$scratch/host-pc"
# kzLib.h alone compiles without the Vulkan headers' declarations being needed.
printf '#include <kzLib.h>\nint main() { return kzGetResultName(KZ_OK)[0] == 0; }\n' >"$scratch/plain.cpp"
"$cxx" -Wall -Wextra -Wpedantic -Werror "$scratch/plain.cpp" $flags -o "$scratch/plain"
if "$cxx" -E $flags "$scratch/plain.cpp" | grep -q kzCreateContextVulkan; then
  echo "kzLib.h declares the Vulkan entry points; they belong to <kzLib/vulkan.h>"
  exit 1
fi
LD_LIBRARY_PATH=$lib_dir "$scratch/host-pc"

echo "== find_package"
cmake -S "$host" -B "$scratch/host-build" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$scratch/host-build" >/dev/null
"$scratch/host-build/host"
