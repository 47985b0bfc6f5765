#!/usr/bin/env bash
# End-to-end speed of mirelune-cli through the self-hosted service, measured
# in one run against LibreOffice on the same files:
#   - FILES small Word documents to PDF through the CLI, with a service of
#     1 worker and one of 2 workers (each started once and warmed up first),
#     against one `soffice --convert-to pdf` call over all of them and against
#     one cold soffice call per file, one after the other;
#   - a one-page PDF to text through the CLI;
#   - the same files through one and two warm offices driven directly by the
#     service's bridge (bench/office_workers.py): the most a second worker can
#     give on this machine.
# Prints medians of ROUNDS rounds and the ratios; not a test. The cold calls,
# a hundred times slower and steady, are timed in one round. The two services
# run side by side and their rounds alternate, so a machine that slows down
# midway weighs on both alike.
#
#   bench/cli_batch.sh [BUILD] [FILES] [ROUNDS]        (defaults: build 20 5)
set -euo pipefail

BUILD=$(cd "${1:-build}" && pwd)
COUNT=${2:-20}
ROUNDS=${3:-5}
CLI="$BUILD/src/cli/mirelune-cli"
SERVICE="$BUILD/service/mirelune-service"
for program in "$CLI" "$SERVICE"; do
  [[ -x $program ]] || { echo "missing $program: build it first" >&2; exit 2; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/mirelune-bench-XXXXXX")
SERVICE_PIDS=()
cleanup() {
  local pid
  for pid in "${SERVICE_PIDS[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$WORK"
}
trap cleanup EXIT

# The CLI reads no settings of the user running the benchmark (LibreOffice
# keeps the user's home, with its caches).
CLI_HOME="$WORK/home"
mkdir -p "$CLI_HOME/.config" "$CLI_HOME/.cache" "$CLI_HOME/.local/share"

now() { echo "${EPOCHREALTIME/,/.}"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }
list() { printf '%.2f ' "$@"; }

soffice_run() { # PROFILE OUTDIR FILE...
  local profile=$1 out=$2
  shift 2
  soffice "-env:UserInstallation=file://$profile" --headless --norestore --convert-to pdf --outdir "$out" "$@" \
    >/dev/null 2>&1
}

# ---- the documents, made from text by LibreOffice ----
DOCS="$WORK/docs"
mkdir -p "$DOCS"
for ((i = 1; i <= COUNT; i++)); do
  name=$(printf 'letter-%02d' "$i")
  {
    printf 'Letter %d\n\n' "$i"
    for ((line = 0; line < 30; line++)); do
      printf 'This is line %d of a small document about nothing much.\n' "$line"
    done
  } >"$DOCS/$name.txt"
done
soffice "-env:UserInstallation=file://$WORK/make-profile" --headless --norestore \
  --convert-to 'docx:MS Word 2007 XML' --outdir "$DOCS" "$DOCS"/*.txt >/dev/null 2>&1
rm -f "$DOCS"/*.txt
mapfile -t DOCUMENTS < <(ls "$DOCS"/*.docx)
[[ ${#DOCUMENTS[@]} -eq $COUNT ]] || { echo "LibreOffice made ${#DOCUMENTS[@]} of $COUNT documents" >&2; exit 1; }
PAGE="$WORK/page"
mkdir -p "$PAGE"
soffice_run "$WORK/make-profile" "$PAGE" "${DOCUMENTS[0]}"
ONE_PAGE="$PAGE/$(basename "${DOCUMENTS[0]}" .docx).pdf"

# ---- LibreOffice alone; its profile is made before timing, as the service's are ----
PROFILE="$WORK/soffice-profile"
soffice_run "$PROFILE" "$WORK/warmup" "${DOCUMENTS[0]}"
single=()
cold=()
for ((round = 1; round <= ROUNDS; round++)); do
  start=$(now)
  soffice_run "$PROFILE" "$WORK/single-$round" "${DOCUMENTS[@]}"
  single+=("$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')")
done
start=$(now)
for document in "${DOCUMENTS[@]}"; do
  soffice_run "$PROFILE" "$WORK/cold" "$document"
done
cold+=("$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')")

# ---- LibreOffice alone, one and two warm offices, without the service ----
read -r offices_one offices_two offices_ratio < <(
  python3 "$(dirname "$0")/office_workers.py" "$WORK/offices" "$ROUNDS" "${DOCUMENTS[@]}")

# ---- the service, started once per worker count ----
field() { sed -n "s/.*\"$1\": *\"\\([^\"]*\\)\".*/\\1/p" "$2"; }

declare -A URL CA TOKEN
start_service() { # WORKERS; fills URL, CA and TOKEN for that worker count
  local data="$WORK/service-$1"
  "$SERVICE" --data "$data" --workers "$1" >"$WORK/service-$1.log" 2>&1 &
  SERVICE_PIDS+=("$!")
  local tries
  for ((tries = 0; tries < 600; tries++)); do # at most a minute
    [[ -s $data/ready.json ]] && break
    sleep 0.1
  done
  [[ -s $data/ready.json ]] || { echo "the service with $1 worker(s) did not start" >&2; exit 1; }
  URL[$1]=$(field base_url "$data/ready.json")
  CA[$1]=$(field ca_file "$data/ready.json")
  TOKEN[$1]=$(field identity_token "$data/ready.json")
}

cli_run() { # WORKERS OUTDIR ARGUMENT...; prints the seconds it took
  local workers=$1 out=$2
  shift 2
  local begin
  begin=$(now)
  HOME="$CLI_HOME" XDG_CONFIG_HOME="$CLI_HOME/.config" XDG_CACHE_HOME="$CLI_HOME/.cache" \
    XDG_DATA_HOME="$CLI_HOME/.local/share" MIRELUNE_NO_KEYRING=1 \
    "$CLI" -q --service "${URL[$workers]}" --ca-file "${CA[$workers]}" --identity-token "${TOKEN[$workers]}" \
    -o "$out" "$@" >"$out.list" 2>"$out.err" ||
    { echo "mirelune-cli failed (exit $?), see below" >&2; cat "$out.err" >&2; exit 1; }
  awk -v a="$(now)" -v b="$begin" 'BEGIN { print a - b }'
}

declare -A batch
for workers in 1 2; do
  start_service "$workers"
  cli_run "$workers" "$WORK/warm-$workers" -m to-pdf "${DOCUMENTS[@]}" >/dev/null # every worker's office starts here
done
for ((round = 1; round <= ROUNDS; round++)); do
  for workers in 1 2; do
    out="$WORK/cli-$workers-$round"
    batch[$workers]+=" $(cli_run "$workers" "$out" -m to-pdf "${DOCUMENTS[@]}")"
    made=$(wc -l <"$out.list")
    [[ $made -eq $COUNT ]] || { echo "the CLI made $made of $COUNT results" >&2; exit 1; }
  done
done

text=()
for ((round = 1; round <= ROUNDS; round++)); do
  text+=("$(cli_run 1 "$WORK/text-$round" -f txt "$ONE_PAGE")")
done

# ---- figures ----
# shellcheck disable=SC2086 # the lists are numbers separated by spaces
{
  one=$(median ${batch[1]})
  two=$(median ${batch[2]})
  single_median=$(median "${single[@]}")
  cold_median=$(median "${cold[@]}")
  text_median=$(median "${text[@]}")
  echo "docx -> pdf, $COUNT files, median of $ROUNDS rounds (seconds; rounds in brackets)"
  printf '  soffice, one call for all files:     %6.2f  [%s]\n' "$single_median" "$(list "${single[@]}")"
  printf '  soffice, one cold call per file:     %6.2f  (one round)\n' "$cold_median"
  printf '  mirelune-cli, service of 1 worker:   %6.2f  [%s]\n' "$one" "$(list ${batch[1]})"
  printf '  mirelune-cli, service of 2 workers:  %6.2f  [%s]\n' "$two" "$(list ${batch[2]})"
  echo "  one soffice call / cli with 2 workers: $(ratio "$single_median" "$two")x (target >= 1)," \
    "with 1 worker: $(ratio "$single_median" "$one")x"
  echo "  cold calls / cli with 2 workers:       $(ratio "$cold_median" "$two")x"
  echo "  1 worker / 2 workers:                  $(ratio "$one" "$two")x (target >= 1.5)"
  echo "  the offices alone, 1 / 2 warm offices: ${offices_ratio}x ($offices_one s / $offices_two s):" \
    "the most a second worker can give here"
  echo "pdf -> txt, one page, mirelune-cli end to end"
  printf '  median %.3f s  [%s] (target < 0.5 s)\n' "$text_median" "$(list "${text[@]}")"
}
