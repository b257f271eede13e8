#!/usr/bin/env bash
# The main job: install the dependencies, build libkzLib and the dovav tool,
# check the example display's calibration, and render what each of its
# channels shows, from both configurations and with both back-ends, headless.
# OUT (default out/) is where the PNG files go.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${OUT:-out}

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target dovav

dovav=build/tools/dovav/dovav
for config in static dynamic; do
  "$dovav" check "examples/curved-3/$config.xml"
  for backend in opengl vulkan; do
    "$dovav" render "examples/curved-3/$config.xml" --backend "$backend" --out "$out/$config-$backend"
  done
done

echo
echo "Rendered channels of examples/curved-3 (channel-N.png, overview.png):"
for config in static dynamic; do
  for backend in opengl vulkan; do
    echo "  $(cd "$out/$config-$backend" && pwd)"
  done
done
