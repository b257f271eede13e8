#!/usr/bin/env bash
# Usage: fuzz.sh BUILD_DIR SECONDS
# Runs every fuzz target of BUILD_DIR for SECONDS, starting from its seed
# corpus in fuzz/corpus/<name>/ (left unchanged: new inputs go to a scratch
# folder). Any crash, leak or sanitizer report fails the run, and so does an
# input that makes the process use or allocate more than 2 GB.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
for fuzzer in "$build"/fuzz/*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer)
  mkdir -p "$scratch/$name"
  echo "-- $name: ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
       -artifact_prefix="$scratch/" -print_final_stats=1 \
       "$scratch/$name" "fuzz/corpus/$name" 2>"$scratch/$name.log"; then
    tail -n 60 "$scratch/$name.log"
    echo "fuzz target $name failed"
    status=1
  else
    grep -E 'stat::number_of_executed_runs|Done' "$scratch/$name.log" | tail -n 2
  fi
done
exit $status
