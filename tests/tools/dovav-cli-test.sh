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

if [ "$failures" -eq 0 ]; then echo "all checks passed"; else echo "$failures check(s) failed"; fi
[ "$failures" -eq 0 ]
