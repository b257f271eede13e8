#!/usr/bin/env bash
# Usage: dovav-cli-test.sh DOVAV EXAMPLES_DIR
# Runs the dovav tool as a user would and checks exit statuses and output.
set -uo pipefail
dovav=$1
examples=$2
failures=0

# expect STATUS PATTERN COMMAND...: the command exits with STATUS and its
# combined output matches the extended regular expression PATTERN.
expect() {
  local status=$1 pattern=$2
  shift 2
  local output actual
  output=$("$@" 2>&1)
  actual=$?
  if [ "$actual" -ne "$status" ] || ! grep -Eq -- "$pattern" <<<"$output"; then
    echo "FAIL: $* -> exit $actual (expected $status), output:"
    echo "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  else
    echo "ok: $*"
  fi
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
example=$examples/minimal/display.xml
example_dir=$(cd "$examples/minimal" && pwd)

expect 0 "channel 1 +type 0 \(static\) +gamma 2.2 +input gamma 1 +output gamma 1$" "$dovav" channels "$example"
expect 0 "warpmap +$example_dir/channel1/warp.csv" "$dovav" channels "$example"
expect 0 "channel 2 .*output gamma 1.1" "$dovav" channels "$example"
expect 0 "usage: dovav COMMAND" "$dovav" --help
expect 0 "usage: dovav channels CONFIG" "$dovav" channels --help
expect 0 "^dovav 6.0.0.0$" "$dovav" --version
expect 2 "usage: dovav COMMAND" "$dovav"
expect 2 "unknown command 'frobnicate'" "$dovav" frobnicate
expect 2 "expected one configuration file" "$dovav" channels
expect 2 "expected one configuration file" "$dovav" channels --bogus
expect 2 "File .*/missing.xml not found" "$dovav" channels "$scratch/missing.xml"

echo "<kzCorrection><channel" >"$scratch/broken.xml"
expect 1 "Failed to load xml" "$dovav" channels "$scratch/broken.xml"

long=$(printf 'x%.0s' $(seq 300))
echo "<kzCorrection><channel id=\"3\" blending=\"/$long\"/></kzCorrection>" >"$scratch/long.xml"
expect 0 "warning: Channel 3: path of blending does not fit" "$dovav" channels "$scratch/long.xml"

# Calibration files for the check, obj and dump commands: 2x2 grids, a camera
# and a target rectangle, a 2x2 white TGA mask (18-byte header: uncompressed,
# 32 bits, top-left origin; then BGRA pixels) and a 2x2 PNG mask.
cal=$scratch/cal
mkdir -p "$cal"
printf 'x;y;u;v;column;row\n0;0;0;0;0;0\n1;0;1;0;1;0\n0;1;0;1;0;1\n1;1;1;1;1;1\n' >"$cal/warp.csv"
printf 'x;y;u;v;column;row\n0;0;0;0;0;0\n1;0;nan;0;1;0\n0;1;0;1;0;1\n1;1;1;inf;1;1\n' >"$cal/holes.csv"
printf 'camera\n0;0;1.5;0;0;0;0;0;0;0;-1;1;-0.75;0.75;0;0\n' >"$cal/camera.csv"
printf 'x;y;z;u;v;column;row\n0;0;0;0;0;0;0\n2;0;0;1;0;1;0\n0;0;1;0;1;0;1\n2;0;1;1;1;1;1\n' >"$cal/shape.csv"
printf 'target\n0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;1;2;0;1;2;0;0;0;0;0\n' >"$cal/target.csv"
printf 'camera\n0;0;0\n' >"$cal/short-camera.csv"
printf '\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\40\50' >"$cal/blend.tga"
printf '\377\377\377\377%.0s' 1 2 3 4 >>"$cal/blend.tga"
cp "$examples/../fuzz/corpus/mask_image/rgb-2x2.png" "$cal/black.png"

# configuration FILE TYPE 'CHANNEL ATTRIBUTES'...: one <channel> element per argument.
configuration() {
  local file=$1 type=$2
  shift 2
  {
    echo "<kzCorrection><type>$type</type><gamma>2.2</gamma>"
    for channel in "$@"; do echo "  <channel $channel/>"; done
    echo "</kzCorrection>"
  } >"$file"
}
configuration "$scratch/static.xml" 0 \
  'id="1" warpmap="cal/warp.csv" frustum="cal/camera.csv" blending="cal/blend.tga" blacklevel="cal/black.png"' \
  'id="2" warpmap="cal/warp.csv" frustum="cal/camera.csv" output-gamma="1.1"'
configuration "$scratch/dynamic.xml" 1 'id="1" shape="cal/shape.csv" target="cal/target.csv" blending="cal/black.png"'
configuration "$scratch/bad-files.xml" 0 \
  'id="1" warpmap="cal/missing.csv" frustum="cal/short-camera.csv" blending="cal/warp.csv"' \
  'id="2" warpmap="cal/warp.csv" frustum="cal/camera.csv"'
configuration "$scratch/bad-dynamic.xml" 1 'id="4" shape="cal/warp.csv"'
configuration "$scratch/holes.xml" 0 'id="1" warpmap="cal/holes.csv" frustum="cal/camera.csv"'
printf 'Pf\n1 1\n-1.0\n\0\0\0\0' >"$cal/grey.pfm"
configuration "$scratch/grey-pfm.xml" 0 'id="1" warpmap="cal/grey.pfm" frustum="cal/camera.csv"'
configuration "$scratch/bad-type.xml" 5 'id="1" warpmap="cal/warp.csv" frustum="cal/camera.csv"'

expect 0 "^1 +static +2x2 +0 +2x2/-/2x2/- +fov 73.74, aspect 1.333, at \(0, 1.5, 0\) +2.2 +1 +1 +ok$" \
  "$dovav" check "$scratch/static.xml"
expect 0 "^2 +static +2x2 +0 +-/-/-/- .* 2.2 +1 +1.1 +ok$" "$dovav" check "$scratch/static.xml"
expect 0 "^all 2 channel\(s\) would set up cleanly$" "$dovav" check "$scratch/static.xml"
expect 0 "^1 +dynamic +2x2 +0 +2x2/-/-/- +target 2 x 1 +2.2 +1 +1 +ok$" "$dovav" check "$scratch/dynamic.xml"
expect 0 "^1 +static +2x2 +2 +-/-/-/- " "$dovav" check "$scratch/holes.xml"
expect 1 "warp map $cal/grey.pfm: KZ_ERROR_INVALID_DATA \(2\): a PFM the library does not read" \
  "$dovav" check "$scratch/grey-pfm.xml"
expect 0 "channel 1: blend mask $cal/blend.tga: ok" "$dovav" check -v "$scratch/static.xml"
expect 1 "channel 1: warp map $cal/missing.csv: KZ_ERROR_FILE \(3\): No such file or directory" \
  "$dovav" check "$scratch/bad-files.xml"
expect 1 "channel 1: camera $cal/short-camera.csv: KZ_ERROR_INVALID_DATA \(2\): the data line has 3 field\(s\), at least 16 expected" \
  "$dovav" check "$scratch/bad-files.xml"
expect 1 "channel 1: blend mask $cal/warp.csv: not a PNG, BMP or TGA image" "$dovav" check "$scratch/bad-files.xml"
expect 1 "^1 +static +FAIL +- +FAIL/-/-/- .* 3 of 3 failed$" "$dovav" check "$scratch/bad-files.xml"
expect 1 "^1 of 2 channel\(s\) would not set up cleanly$" "$dovav" check "$scratch/bad-files.xml"
expect 1 "channel 4: target rectangle: not configured \(target attribute\)" "$dovav" check "$scratch/bad-dynamic.xml"
expect 1 "channel 4: screen shape $cal/warp.csv: KZ_ERROR_INVALID_DATA \(2\): line 2 has 6 field\(s\), at least 7 expected" \
  "$dovav" check "$scratch/bad-dynamic.xml"
expect 1 "channel 1: correction type: unknown type 5" "$dovav" check "$scratch/bad-type.xml"
expect 1 "channel 1: camera $example_dir/channel1/camera.csv: KZ_ERROR_FILE" "$dovav" check "$example"
expect 1 "Failed to load xml" "$dovav" check "$scratch/broken.xml"
expect 0 "usage: dovav check \[-v\] CONFIG" "$dovav" check --help
expect 2 "expected one configuration file" "$dovav" check
expect 2 "expected one configuration file" "$dovav" check "$scratch/static.xml" "$scratch/dynamic.xml"
expect 2 "unknown option '--bogus'" "$dovav" check --bogus "$scratch/static.xml"
expect 2 "File .*/missing.xml not found" "$dovav" check "$scratch/missing.xml"
expect 2 "Is a directory" "$dovav" check "$scratch"

expect 0 "wrote $scratch/warp.obj: warp map 2x2, 4 vertices, 2 triangles" "$dovav" obj "$cal/warp.csv" "$scratch/warp.obj"
expect 0 "^# OBJ File Generated by doVav $" head -n 1 "$scratch/warp.obj"
expect 0 "^v 0 0 0$" sed -n 2p "$scratch/warp.obj"
expect 0 "^v 1 1 0$" cat "$scratch/warp.obj"
expect 0 "^f 3/3 2/2 4/4$" cat "$scratch/warp.obj"
expect 0 "wrote $scratch/shape.obj: screen shape 2x2" "$dovav" obj "$cal/shape.csv" "$scratch/shape.obj"
expect 0 "^v 2 1 -?0$" cat "$scratch/shape.obj"
expect 1 "not a warp map: KZ_ERROR_INVALID_DATA \(2\): line 2 has 3 field\(s\), at least 6 expected" \
  "$dovav" obj "$cal/short-camera.csv" "$scratch/camera.obj"
expect 1 "not a screen shape: KZ_ERROR_INVALID_DATA" "$dovav" obj --shape "$cal/warp.csv" "$scratch/x.obj"
expect 1 "cannot write $scratch/no-dir/x.obj: KZ_ERROR_FILE \(3\)" "$dovav" obj "$cal/warp.csv" "$scratch/no-dir/x.obj"
expect 0 "usage: dovav obj" "$dovav" obj --help
expect 2 "No such file or directory" "$dovav" obj "$cal/missing.csv" "$scratch/x.obj"
expect 2 "expected an input file and an output file" "$dovav" obj "$cal/warp.csv"
expect 2 "unknown option '--bogus'" "$dovav" obj --bogus "$cal/warp.csv" "$scratch/x.obj"

expect 0 "wrote $scratch/static.txt: 2 channel\(s\), 2 set up cleanly" \
  "$dovav" dump --size 1920x1080 "$scratch/static.xml" "$scratch/static.txt"
expect 0 "^version: [0-9]" cat "$scratch/static.txt"
expect 0 "^width: 1920$" cat "$scratch/static.txt"
expect 0 "^active: 2$" cat "$scratch/static.txt"
expect 0 "^configuration 2$" cat "$scratch/static.txt"
expect 0 "^warping: $cal/warp.csv$" cat "$scratch/static.txt"
expect 0 "^correction 2$" cat "$scratch/static.txt"
expect 0 "^camera: -1,1,-0.75,0.75$" cat "$scratch/static.txt"
expect 0 "channel 1: set up" "$dovav" dump "$scratch/dynamic.xml" "$scratch/dynamic.txt"
expect 0 "^screen:$cal/shape.csv$" cat "$scratch/dynamic.txt"
expect 0 "channel 1: warning: set-up failed: KZ_ERROR_INVALID_DATA \(2\): Failed to load camera configuration from $cal/short-camera.csv" \
  "$dovav" dump "$scratch/bad-files.xml" "$scratch/bad-files.txt"
expect 0 "channel 1: warning: mask $cal/warp.csv did not load" "$dovav" dump "$scratch/bad-files.xml" "$scratch/bad-files.txt"
expect 0 "^correction 1$" cat "$scratch/bad-files.txt"
expect 1 "cannot write $scratch/no-dir/out.txt" "$dovav" dump "$scratch/static.xml" "$scratch/no-dir/out.txt"
expect 1 "Failed to load xml" "$dovav" dump "$scratch/broken.xml" "$scratch/out.txt"
expect 0 "usage: dovav dump" "$dovav" dump --help
expect 2 "expected a configuration file and an output file" "$dovav" dump "$scratch/static.xml"
expect 2 "No such file or directory" "$dovav" dump "$scratch/missing.xml" "$scratch/out.txt"
expect 2 "--size expects WIDTHxHEIGHT" "$dovav" dump --size 1920 "$scratch/static.xml" "$scratch/out.txt"
expect 2 "--size expects WIDTHxHEIGHT" "$dovav" dump --size -1x-1 "$scratch/static.xml" "$scratch/out.txt"
expect 2 "unknown option '--bogus'" "$dovav" dump --bogus "$scratch/static.xml" "$scratch/out.txt"

# import and export: native -> MPCDI -> native, a Bourke mesh with a hole and
# a dimmed column, the OBJ written above, and what is refused.
printf '2\n3 2\n-1.5 -1 0 0 0.5\n0 -1 0.5 0 1\n1.5 -1 1 0 1\n-1.5 1 0 1 0.5\n0 1 0.5 1 -1\n1.5 1 1 1 1\n' \
  >"$scratch/mesh.data"
printf '1\n2 2\n0 0 0 0 1\n' >"$scratch/polar.data"
configuration "$scratch/exportable.xml" 0 \
  'id="2" warpmap="cal/warp.csv" frustum="cal/camera.csv" blacklevel="cal/black.png" output-gamma="1.1"'
expect 1 "mask $cal/blend.tga is not a PNG" "$dovav" export "$scratch/static.xml" "$scratch/out.mpcdi"
expect 0 "-> $scratch/out.mpcdi" "$dovav" export "$scratch/exportable.xml" "$scratch/out.mpcdi"
expect 0 "^1 +static +2x2 +0 +-/-/2x2/- .* 2.2 +1 +1.1 +ok$" "$dovav" check "$scratch/out.mpcdi"
expect 0 "-> $scratch/imported/display.xml" "$dovav" import "$scratch/out.mpcdi" "$scratch/imported"
expect 0 "region=\"channel2\"" cat "$scratch/imported/display.xml"
expect 0 "would set up cleanly" "$dovav" check "$scratch/imported/display.xml"
expect 0 "\(bourke\) -> " "$dovav" import "$scratch/mesh.data" "$scratch/bourke"
expect 0 "^1 +static +3x2 +1 +-/3x2/-/- " "$dovav" check "$scratch/bourke/display.xml"
expect 0 "\(obj\) -> " "$dovav" import --grid 5x5 "$scratch/warp.obj" "$scratch/obj"
expect 0 "^1 +static +5x5 +0 " "$dovav" check "$scratch/obj/display.xml"
expect 1 "channel 1 is not static" "$dovav" export "$scratch/dynamic.xml" "$scratch/x.mpcdi"
expect 1 "polar meshes \(type 1\) are not read" "$dovav" import "$scratch/polar.data" "$scratch/x"
expect 2 "format not recognised" "$dovav" import "$cal/warp.csv" "$scratch/x"
expect 2 "--grid takes WIDTHxHEIGHT" "$dovav" import --grid 1x5 "$scratch/warp.obj" "$scratch/x"
expect 2 "expected a source file and an output folder" "$dovav" import "$scratch/warp.obj"
expect 0 "usage: dovav import" "$dovav" import --help
expect 0 "usage: dovav export" "$dovav" export --help

# Example calibrations, when they are there.
for shipped in "$examples/curved-3/static.xml" "$examples/curved-3/dynamic.xml"; do
  if [ -f "$shipped" ]; then
    expect 0 "would set up cleanly" "$dovav" check "$shipped"
  fi
done

if [ "$failures" -eq 0 ]; then echo "all checks passed"; else echo "$failures check(s) failed"; fi
[ "$failures" -eq 0 ]
