#!/usr/bin/env bash
# Installs the Debian packages doVav needs to build, test and fuzz (headless
# OpenGL and Vulkan on Mesa's software drivers included), and the
# de_DE.UTF-8 locale the tests use to check locale-independent number parsing.
# Idempotent: does nothing when everything is present. Run as root (or with
# sudo available) on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config binutils   # toolchain
  libpugixml-dev                                          # configuration parser, MPCDI document
  libzip-dev                                              # MPCDI archive
  libepoxy-dev libstb-dev libspng-dev                     # OpenGL loader, image decoders (BMP/TGA, PNG)
  libglfw3-dev                                            # windows of the example hosts (optional)
  libegl-dev libgl-dev libgl1-mesa-dri libegl-mesa0       # headless OpenGL (llvmpipe) for tests
  libvulkan-dev glslang-tools spirv-tools                 # Vulkan headers, SPIR-V compiler and tools
  mesa-vulkan-drivers vulkan-validationlayers             # headless Vulkan (lavapipe) for tests
  googletest libgtest-dev libgmock-dev                    # unit tests
  libbenchmark-dev                                        # benchmarks
  clang libclang-rt-14-dev                                # libFuzzer targets
  locales                                                 # locale tests
)

sudo_if_needed() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  sudo_if_needed apt-get update -qq
  sudo_if_needed env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
  echo "install-deps: generating the de_DE.UTF-8 locale"
  sudo_if_needed localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
