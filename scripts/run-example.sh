#!/usr/bin/env bash
# The main job: install the dependencies, build libkzLib and the dovav tool,
# and print the channel table of the example display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target dovav
build/tools/dovav/dovav channels examples/minimal/display.xml
