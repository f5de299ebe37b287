#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them one after the other.
#   fuzz/run.sh [SECONDS] [TARGET...]
# SECONDS per target (default 20, what CI runs); TARGET names pick some of
# fuzz_config_reply fuzz_config_build fuzz_tag_data fuzz_line_file (default all).
#
# Each target starts from its seed corpus in fuzz/corpus/<target>/ and writes
# what it finds new to fuzz/corpus-work/<target>/, so the seeds in the
# repository stay small. Crashing inputs go to fuzz/artifacts/. The exit status
# is non-zero when any target failed.
# Environment: ZANTO_FUZZ_BUILD_DIR (default build-fuzz), ZANTO_FUZZ_JOBS
# (build jobs, default 2).
set -euo pipefail

seconds=${1:-20}
shift || true
case $seconds in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${ZANTO_FUZZ_BUILD_DIR:-$root/build-fuzz}
all_targets=(fuzz_config_reply fuzz_config_build fuzz_tag_data fuzz_line_file)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  case " ${all_targets[*]} " in
    *" $t "*) ;;
    *) echo "unknown target: $t (one of: ${all_targets[*]})" >&2; exit 2 ;;
  esac
done

cd "$root"
source scripts/setup.sh
zanto_install_packages "${ZANTO_PACKAGES[@]}" clang libclang-rt-14-dev

# A directory of its own: the fuzz build needs clang throughout, the normal
# builds do not.
if [ ! -f "$build/build.ninja" ] || ! grep -q '^ZANTO_FUZZ:BOOL=ON$' "$build/CMakeCache.txt" 2>/dev/null; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DZANTO_FUZZ=ON -DZANTO_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target zanto_fuzz -j "${ZANTO_FUZZ_JOBS:-2}"

artifacts=$here/artifacts
logs=$build/fuzz-logs
mkdir -p "$artifacts" "$logs"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# Inputs longer than a target can use only slow it down; the tag data target
# needs room past the 2079-byte limit of the write command, with escapes.
max_len() {
  case $1 in
    fuzz_config_reply) echo 64 ;;
    fuzz_config_build) echo 512 ;;
    fuzz_tag_data) echo 4400 ;;
    fuzz_line_file) echo 8192 ;;
  esac
}

failed=()
summary=()
for t in "${targets[@]}"; do
  work=$here/corpus-work/$t
  mkdir -p "$work"
  args=(
    -max_total_time="$seconds"
    -rss_limit_mb=2048
    -timeout=30
    -max_len="$(max_len "$t")"
    -print_final_stats=1
    -artifact_prefix="$artifacts/$t-"
  )
  [ -f "$here/$t.dict" ] && args+=(-dict="$here/$t.dict")
  before=$(find "$artifacts" -maxdepth 1 -name "$t-*" | wc -l)
  echo "== $t: $seconds s"
  status=0
  # New inputs land in the first directory given; the seeds are only read.
  "$build/fuzz/$t" "${args[@]}" "$work" "$here/corpus/$t" >"$logs/$t.log" 2>&1 || status=$?
  after=$(find "$artifacts" -maxdepth 1 -name "$t-*" | wc -l)
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$logs/$t.log" | tail -1 || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$logs/$t.log" | tail -1)
  cov=$(sed -nE 's/.* (cov: [0-9]+ ft: [0-9]+).*/\1/p' <<<"$done_line")
  if [ "$status" -ne 0 ] || [ "$after" -gt "$before" ]; then
    failed+=("$t")
    summary+=("$t: FAILED (exit $status), see $logs/$t.log and $artifacts/$t-*")
    grep -E 'ERROR|invariant broken|runtime error|SUMMARY|Test unit written' "$logs/$t.log" | head -20 || true
  else
    summary+=("$t: ok, ${execs:-?} runs, ${rate:-?} exec/s, ${cov:-no coverage line}")
  fi
done

echo "== summary"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
