#!/usr/bin/env bash
# Compares what two builds show and print for the same surveys, byte for byte.
#
#   bench/compare_results.sh BEFORE AFTER [WORK_DIR]
#
# BEFORE and AFTER are build folders (holding bin/pelmor-cli) or pelmor-cli
# programs. Both builds import the same generated downloads into a fresh
# database each, then write the statistics, the breakdowns, the speed study,
# the comparisons and every document; the documents are compared as the text
# pdftotext reads from them. The logs come from BEFORE's pelmor-loggen, so
# both builds read the same bytes.
#
# Prints one line per output that differs (with the first lines of its diff)
# and exits 1 when any does, 0 when all are equal, 2 on a usage or run error.
# WORK_DIR (default: a temporary folder, removed at the end) keeps the outputs
# of both builds under before/ and after/ for a closer look.
set -u -o pipefail

usage() {
    echo "usage: $0 BEFORE AFTER [WORK_DIR]  (build folders or pelmor-cli programs)" >&2
    exit 2
}
[[ $# -ge 2 && $# -le 3 ]] || usage

cliOf() {
    if [[ -d $1 ]]; then
        echo "$1/bin/pelmor-cli"
    else
        echo "$1"
    fi
}
BEFORE_CLI=$(realpath -- "$(cliOf "$1")") || usage
AFTER_CLI=$(realpath -- "$(cliOf "$2")") || usage
LOGGEN=$(dirname -- "$BEFORE_CLI")/pelmor-loggen
for program in "$BEFORE_CLI" "$AFTER_CLI" "$LOGGEN"; do
    [[ -x $program ]] || { echo "$program is not a program; give build folders that hold bin/pelmor-cli and bin/pelmor-loggen" >&2; exit 2; }
done
command -v pdftotext >/dev/null || { echo "pdftotext is missing: install poppler-utils" >&2; exit 2; }

if [[ $# -eq 3 ]]; then
    WORK=$(realpath -m -- "$3")
    rm -rf -- "$WORK/before" "$WORK/after" "$WORK/run" "$WORK/logs"
    mkdir -p -- "$WORK"
else
    WORK=$(mktemp -d)
    trap 'rm -rf -- "$WORK"' EXIT
fi
mkdir -p "$WORK/logs"

# The surveys: name, batch number (start date and trailer), unit, location
# and the generator's options. An MPH survey of two days and the same street
# after a change, a KPH survey, one that runs over midnight into a new year
# and one of 31 days.
SURVEYS=(
    "elm-before|050326-A|MPH|Elm Street|--start-date 05/03/2026 --start-time 08:00 --days 2 --seed 11"
    "elm-after|060726-A|MPH|Elm Street|--start-date 06/07/2026 --start-time 08:00 --days 2 --seed 12 --mean 34"
    "ring-kph|050326-B|KPH|Ring Road|--start-date 05/03/2026 --start-time 07:30 --days 1 --unit KPH --limit 050 --cutoff 130 --alarm 070 --seed 13"
    "new-year|123126-C|MPH|Oak Avenue|--start-date 12/31/2026 --start-time 18:00 --duration-hours 14 --seed 14"
    "month|030126-D|MPH|Mill Lane|--start-date 03/01/2026 --start-time 00:00 --days 31 --limit 025 --seed 15"
)
# Pairs set side by side by batch number: one street before and after a
# change, and a KPH survey against an MPH one.
COMPARISONS=("050326-A 060726-A" "050326-B 060726-A")

for survey in "${SURVEYS[@]}"; do
    IFS='|' read -r name _ _ _ options <<<"$survey"
    # shellcheck disable=SC2086 # the options are words on purpose
    "$LOGGEN" $options --rsx -o "$WORK/logs/$name.rsx" || { echo "pelmor-loggen failed for $name" >&2; exit 2; }
done

# Runs one build over every survey; its outputs land in $WORK/$label.
# Both builds run in the same folder, one after the other, so a path printed
# into an output is the same for both.
runBuild() {
    local label=$1 cli=$2
    local run="$WORK/run" out="$WORK/$label"
    rm -rf -- "$run"
    mkdir -p "$run/db" "$run/home" "$out"
    # A home of its own: no remembered folder or unit of this user leaks in.
    local -a environment=(env HOME="$run/home" XDG_CONFIG_HOME="$run/home/.config"
        XDG_DATA_HOME="$run/home/.local/share" XDG_RUNTIME_DIR="$run/home/runtime"
        QT_QPA_PLATFORM=offscreen TZ=America/Chicago LC_ALL=C.UTF-8)
    chmod 700 "$run/home" && mkdir -m 700 "$run/home/runtime"
    # Runs one command; its exit status is kept (and compared) in status.txt.
    cli() {
        "${environment[@]}" "$cli" --db "$run/db" "$@"
        local status=$?
        local command="$*"
        command=${command//$run/RUN} command=${command//$out/OUT}
        echo "$status $command" >>"$out/status.txt"
        [[ $status -eq 0 ]] || echo "$label: exit status $status from: $command" >&2
        return "$status"
    }

    cli init >"$out/init.txt" 2>&1 || return 2
    local survey name batch unit location
    for survey in "${SURVEYS[@]}"; do
        IFS='|' read -r name batch unit location _ <<<"$survey"
        cli import "$WORK/logs/$name.rsx" --trailer "${batch##*-}" --location "$location" \
            --direction North --zone Residential --unit "$unit" --yes >"$out/import-$name.txt" 2>&1
    done
    cli surveys >"$out/surveys.txt" 2>&1
    for survey in "${SURVEYS[@]}"; do
        IFS='|' read -r _ batch _ <<<"$survey"
        cli summary "$batch" --json >"$out/$batch.summary.json" 2>&1
        cli breakdown "$batch" --bins 15 --csv >"$out/$batch.breakdown15.csv" 2>&1
        cli breakdown "$batch" --bins 60 --csv >"$out/$batch.breakdown60.csv" 2>&1
        cli study "$batch" --json >"$out/$batch.study.json" 2>&1
        local document
        for document in 1 2 3 4 5 8; do
            cli report "$document" "$batch" --pdf "$out/$batch.doc$document.pdf" >"$out/$batch.doc$document.log" 2>&1
        done
    done
    local pair first second
    for pair in "${COMPARISONS[@]}"; do
        read -r first second <<<"$pair"
        cli compare "$first" "$second" --json >"$out/compare-$first-$second.json" 2>&1
        cli report 9 "$first" --with "$second" --pdf "$out/compare-$first-$second.doc9.pdf" \
            >"$out/compare-$first-$second.doc9.log" 2>&1
    done
    cli report 6 --trailer-id C --batch-number 123126-C --start-time 18:00 --start-date 12/31/2026 \
        --location "Oak Avenue" --direction North --zone Residential --posted-limit 035 --alarm 045 \
        --cutoff 080 --performed-by "J. Smith" --pdf "$out/doc6.pdf" >"$out/doc6.log" 2>&1
    cli report 7 --pdf "$out/doc7.pdf" >"$out/doc7.log" 2>&1
    local pdf
    for pdf in "$out"/*.pdf; do
        [[ -e $pdf ]] || continue
        pdftotext -layout "$pdf" "${pdf%.pdf}.txt" 2>>"$out/pdftotext.log" ||
            echo "pdftotext could not read $pdf" >>"${pdf%.pdf}.txt"
        rm -f -- "$pdf"
    done
    rm -rf -- "$run"
}

runBuild before "$BEFORE_CLI" || exit 2
runBuild after "$AFTER_CLI" || exit 2

differences=0
compared=0
while IFS= read -r file; do
    compared=$((compared + 1))
    if [[ ! -e $WORK/after/$file ]]; then
        echo "only before: $file"
        differences=$((differences + 1))
    elif ! cmp -s -- "$WORK/before/$file" "$WORK/after/$file"; then
        echo "differs: $file"
        diff -- "$WORK/before/$file" "$WORK/after/$file" | head -n 8 | sed 's/^/    /'
        differences=$((differences + 1))
    fi
done < <(cd "$WORK/before" && find . -type f -printf '%P\n' | sort)
while IFS= read -r file; do
    [[ -e $WORK/before/$file ]] || { echo "only after: $file"; differences=$((differences + 1)); }
done < <(cd "$WORK/after" && find . -type f -printf '%P\n' | sort)

echo "$compared outputs compared, $differences differ (before: $BEFORE_CLI, after: $AFTER_CLI)"
[[ $differences -eq 0 ]]
