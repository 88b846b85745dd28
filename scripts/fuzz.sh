#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each of them
# for N seconds (default 30). Exits non-zero when a target finds a crash.
#   bash scripts/fuzz.sh [N]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
targets=(fuzz_profile fuzz_recordfield)

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (scripts/setup.sh installs it)" >&2
  exit 1
fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DZELTRA_FUZZ=ON >/dev/null
cmake --build "$build_dir" --target "${targets[@]}" -j2

status=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  seeds=tests/fuzz/corpus_$name
  corpus="$build_dir/corpus_$name"
  mkdir -p "$corpus" "$build_dir/artifacts"
  echo "== $t: ${seconds}s"
  if ! "$build_dir/tests/fuzz/$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build_dir/artifacts/$t-" "$corpus" "$seeds" \
       2>"$build_dir/$t.log"; then
    echo "$t failed; see $build_dir/$t.log and $build_dir/artifacts/" >&2
    tail -n 40 "$build_dir/$t.log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build_dir/$t.log" || true
  fi
done
exit $status
