#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan, UBSan) and runs every fuzz
# target for a bounded time on a copy of its seed corpus, after replaying the
# inputs that once found a fault. Fails on any crash, sanitizer report,
# difference between core and reference, broken property of a session
# reader's result, allocation out of proportion to the input, or input that
# takes over 10 s.
#   scripts/fuzz.sh [seconds per target, default 30]
# Failing inputs are kept in build/fuzz/artifacts/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
targets=(text_rules page_parsing status ip_address address_split
  firefox_session snss_session chromium_local_state firefox_profiles_ini)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=()
for target in "${targets[@]}"; do
  binary="build/fuzz/fuzz/fuzz_$target"
  artifacts="build/fuzz/artifacts/$target"
  mkdir -p "$artifacts" "$work/$target"
  # Runs happen on a copy so that new inputs never land in the repository.
  cp -R "fuzz/corpus/$target/." "$work/$target/"
  args=(-timeout=10 -artifact_prefix="$artifacts/" -print_final_stats=0)
  # -max_len only for new inputs: libFuzzer cuts the files it replays to it.
  new=()
  case $target in
    page_parsing)
      args+=(-dict=fuzz/page_parsing.dict)
      new+=(-max_len=8192) ;;
    *_session | chromium_local_state | firefox_profiles_ini)
      # 16 KiB decompress to 4 MiB at most: a broken file that makes a reader
      # ask for 64 MiB at once, or hold 1 GiB, costs out of all proportion.
      args+=(-malloc_limit_mb=64 -rss_limit_mb=1024)
      new+=(-max_len=16384) ;;
  esac
  echo "fuzz.sh: $target for ${seconds}s"
  ok=1
  if [[ -d fuzz/regressions/$target ]]; then
    "$binary" "${args[@]}" fuzz/regressions/"$target"/* >"$work/$target.log" 2>&1 || ok=0
  fi
  if ((ok)); then
    "$binary" "${args[@]}" "${new[@]}" -max_total_time="$seconds" "$work/$target" \
      >"$work/$target.log" 2>&1 || ok=0
  fi
  if ((ok)); then
    grep -E "^Done" "$work/$target.log" || true
  else
    tail -n 40 "$work/$target.log" >&2
    failed+=("$target")
  fi
done

if ((${#failed[@]})); then
  echo "fuzz.sh: failures in ${failed[*]}; inputs are in build/fuzz/artifacts/" >&2
  exit 1
fi
echo "fuzz.sh: all ${#targets[@]} targets ran ${seconds}s without a finding"
