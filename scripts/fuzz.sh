#!/usr/bin/env bash
# Runs the libFuzzer programs of fuzz/ (built by `make build-fuzz`), a few at
# a time, each for a number of seconds or of runs, seeded from tests/data.
#
#   scripts/fuzz.sh [--build DIR] [--seconds N | --runs N] [--parallel N] [--seed N] [TARGET...]
#
# Every target gets a corpus folder DIR/corpus/<target> into which its seeds
# (the test pictures of its format, the XML test files, and its regression
# inputs from tests/data/fuzz/<target>) are copied; libFuzzer adds what it
# finds there and never writes anywhere under tests/. Logs go to
# DIR/fuzz-logs/<target>.log, anything found (crash, leak, time-out, memory
# limit) to DIR/fuzz-artifacts/<target>/. The script ends with one line per
# target (executions, coverage, result) and fails when any target found
# something or did not run.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=60
runs=0
parallel=2
seed=0
targets=()

while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --seconds) seconds=$2; runs=0; shift 2 ;;
    --runs) runs=$2; seconds=0; shift 2 ;;
    --parallel) parallel=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done

data="$root/tests/data"
all_targets=(detect_decode read_bmp read_gif gif_lzw read_ico read_jpeg read_png
             roundtrip_bmp roundtrip_gif roundtrip_ico roundtrip_jpeg roundtrip_png
             parse_xml open_settings load_lang_pack)
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

# Seed folders under tests/data, largest input and dictionary of a target.
seeds_of() {
  case "$1" in
    detect_decode) echo bmp gif ico jpeg png ;;
    *_bmp) echo bmp ;;
    *_gif|gif_lzw) echo gif ;;
    *_ico) echo ico ;;
    *_jpeg) echo jpeg ;;
    *_png) echo png ;;
    parse_xml|open_settings|load_lang_pack) echo lang ;;
  esac
}
max_len_of() {
  case "$1" in
    parse_xml|open_settings|load_lang_pack) echo 16384 ;;
    *) echo 65536 ;;
  esac
}
dict_of() {
  case "$1" in
    parse_xml|open_settings|load_lang_pack) echo "$root/fuzz/dict/xml.dict" ;;
    *_png) echo "$root/fuzz/dict/png.dict" ;;
    *_gif) echo "$root/fuzz/dict/gif.dict" ;;
  esac
}

# Copies the seeds (files up to the target's largest input) into the corpus
# folder under names made from their contents, as libFuzzer names its own.
prepare_corpus() {
  local target=$1 corpus=$2 limit
  limit=$(max_len_of "$target")
  mkdir -p "$corpus"
  local folders=()
  for folder in $(seeds_of "$target"); do folders+=("$data/$folder"); done
  [ -d "$data/fuzz/$target" ] && folders+=("$data/fuzz/$target")
  [ ${#folders[@]} -eq 0 ] && return
  find "${folders[@]}" -type f -size -"$((limit + 1))"c -print0 |
    while IFS= read -r -d '' file; do
      local name
      name=$(sha1sum "$file" | cut -c1-40)
      [ -e "$corpus/$name" ] || cp "$file" "$corpus/$name"
    done
}

run_one() {
  local target=$1
  local program="$build/bin/fuzz_$target"
  local corpus="$build/corpus/$target"
  local artifacts="$build/fuzz-artifacts/$target"
  local log="$build/fuzz-logs/$target.log"
  local status_file="$build/fuzz-logs/$target.status"
  rm -f "$status_file"
  if [ ! -x "$program" ]; then
    echo "missing $program (make build-fuzz)" >"$log"
    echo 127 >"$status_file"
    return
  fi
  prepare_corpus "$target" "$corpus"
  mkdir -p "$artifacts"
  local options=(
    -max_len="$(max_len_of "$target")"
    -timeout=25
    -rss_limit_mb=2048
    -malloc_limit_mb=2048
    -print_final_stats=1
    -artifact_prefix="$artifacts/"
  )
  if [ "$runs" -gt 0 ]; then
    options+=(-runs="$runs")
  else
    options+=(-max_total_time="$seconds")
  fi
  # A fixed seed makes a short run repeat the same mutations on every
  # machine, so that a check that passed here passes again elsewhere.
  [ "$seed" -gt 0 ] && options+=(-seed="$seed")
  local dict
  dict=$(dict_of "$target")
  [ -n "$dict" ] && options+=(-dict="$dict")
  (cd "$build" && "$program" "${options[@]}" "$corpus") >"$log" 2>&1
  echo $? >"$status_file"
}

mkdir -p "$build/fuzz-logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ] && command -v llvm-symbolizer >/dev/null; then
  export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
fi

started=$(date +%s)
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
  echo "fuzzing $target"
  run_one "$target" &
  running=$((running + 1))
done
wait

failed=0
printf '%-16s %12s %8s  %s\n' target executions coverage result
for target in "${targets[@]}"; do
  log="$build/fuzz-logs/$target.log"
  status=$(cat "$build/fuzz-logs/$target.status" 2>/dev/null || echo "?")
  executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" 2>/dev/null | tail -1 |
               awk '{print $2}')
  coverage=$(grep -o 'cov: [0-9]*' "$log" 2>/dev/null | tail -1 | awk '{print $2}')
  if [ "$status" = 0 ]; then
    result=ok
  else
    failed=1
    result="FAILED (exit $status): see $log"
    artifact=$(ls -t "$build/fuzz-artifacts/$target" 2>/dev/null | head -1)
    [ -n "$artifact" ] && result="$result, input $build/fuzz-artifacts/$target/$artifact"
  fi
  printf '%-16s %12s %8s  %s\n' "$target" "${executions:--}" "${coverage:--}" "$result"
done
echo "fuzzing took $(($(date +%s) - started)) s"
if [ "$failed" -ne 0 ]; then
  for target in "${targets[@]}"; do
    status=$(cat "$build/fuzz-logs/$target.status" 2>/dev/null || echo "?")
    if [ "$status" != 0 ]; then
      echo "---- $target"
      grep -E -A30 '^==[0-9]+==|runtime error|Test unit written' "$build/fuzz-logs/$target.log" |
        head -60
    fi
  done
fi
exit "$failed"
