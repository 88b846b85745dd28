#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each of them
# for N seconds (default 30). Exits non-zero when a target finds a crash.
#   bash scripts/fuzz.sh [N]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (scripts/setup.sh installs it)" >&2
  exit 1
fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DZELTRA_FUZZ=ON >/dev/null
# Every target named fuzz_* that the project defines (the folders under tests/
# add theirs when ZELTRA_FUZZ is on).
mapfile -t targets < <(ninja -C "$build_dir" -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): phony$/\1/p' | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets found" >&2
  exit 1
fi
cmake --build "$build_dir" --target "${targets[@]}" -j2

status=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  binary=$(find "$build_dir" -type f -name "$t" -perm -u+x | head -n 1)
  # Seeds: tests/fuzz/corpus_<name>, or a corpus/ folder in tests/<name>.
  seeds=()
  for d in "tests/fuzz/corpus_$name" "tests/$name/corpus"; do
    [ -d "$d" ] && seeds+=("$d")
  done
  corpus="$build_dir/corpus_$name"
  mkdir -p "$corpus" "$build_dir/artifacts"
  echo "== $t: ${seconds}s"
  if ! "$binary" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build_dir/artifacts/$t-" "$corpus" "${seeds[@]}" \
       2>"$build_dir/$t.log"; then
    echo "$t failed; see $build_dir/$t.log and $build_dir/artifacts/" >&2
    tail -n 40 "$build_dir/$t.log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build_dir/$t.log" || true
  fi
done
exit $status
