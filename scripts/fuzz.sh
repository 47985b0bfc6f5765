#!/usr/bin/env bash
# Builds the libFuzzer targets of bench/fuzz/ with clang (AddressSanitizer and
# UBSan) against the sources they test and Qt, then runs each for SECONDS
# (default 300). Exits non-zero when a target crashes, leaks or breaks one of
# its checks; the input that did it is kept in $FUZZ_DIR/artifacts/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail

seconds=${1:-300}
[[ "$seconds" =~ ^[0-9]+$ && "$seconds" -gt 0 ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${FUZZ_DIR:-$root/build-fuzz}
cxx=${CXX_FUZZ:-clang++}

# The compiler and libFuzzer's runtime are needed only here, so they are not in install-deps.sh.
if ! command -v "$cxx" >/dev/null || ! dpkg-query -W -f='${db:Status-Status}' libclang-rt-14-dev 2>/dev/null |
    grep -q '^installed$'; then
  echo "fuzz: installing clang and libclang-rt-14-dev" >&2
  sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  "${sudo[@]}" apt-get install -y --no-install-recommends clang libclang-rt-14-dev >/dev/null
fi

flags=(-std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -I"$root/service" -I"$root/src")
read -r -a qt_flags <<<"$(pkg-config --cflags Qt6Core Qt6Network)"
read -r -a qt_libs <<<"$(pkg-config --libs Qt6Core Qt6Network)"

declare -A sources=(
  [fuzz_head_parser]="service/http/HttpHeadParser.cpp service/http/HttpRequest.cpp"
  [fuzz_oss_authorization]="src/protocol/OssSignature.cpp"
)

# A few well-formed inputs to start from; the corpus grows between runs.
seed() {
  local target=$1 dir=$2
  mkdir -p "$dir"
  if [[ $target == fuzz_head_parser ]]; then
    printf 'GET /api/health HTTP/1.1\r\nHost: 127.0.0.1' >"$dir/seed-get"
    printf 'POST /api/sessions HTTP/1.1\r\nHost: 127.0.0.1:8443\r\nContent-Type: application/json\r\nContent-Length: 25' \
      >"$dir/seed-post"
    printf 'PUT /mirelune/uploads/k%%20x?a=1 HTTP/1.0\r\nHost: mirelune.localhost\r\nContent-Length: 5\r\ncontent-length: 5\r\nExpect: 100-continue\r\nAuthorization: OSS id:c2ln' \
      >"$dir/seed-put"
  else
    printf 'OSS STS.abcdef:c2lnbmF0dXJl' >"$dir/seed-sts"
    printf 'OSS  id:with:colons:sig= ' >"$dir/seed-colons"
  fi
}

mkdir -p "$out/artifacts"
failed=()
for target in fuzz_head_parser fuzz_oss_authorization; do
  files=()
  for source in ${sources[$target]}; do files+=("$root/$source"); done
  echo "fuzz: building $target" >&2
  "$cxx" "${flags[@]}" "${qt_flags[@]}" "$root/bench/fuzz/$target.cpp" "${files[@]}" "${qt_libs[@]}" \
    -o "$out/$target"
  corpus="$out/corpus/$target"
  seed "$target" "$corpus"
  echo "fuzz: running $target for ${seconds}s" >&2
  # Qt's global caches outlive the process by design; only crashes and checks count.
  if ! ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$out/$target" -max_total_time="$seconds" -max_len=20000 -timeout=10 -rss_limit_mb=2048 \
      -dict="$root/bench/fuzz/http.dict" -artifact_prefix="$out/artifacts/$target-" -print_final_stats=1 \
      "$corpus" >"$out/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 40 "$out/$target.log" >&2
  fi
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$out/$target.log" >&2 || true
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: FAILED: ${failed[*]} (inputs in $out/artifacts/)" >&2
  exit 1
fi
echo "fuzz: no crash in ${seconds}s per target" >&2
