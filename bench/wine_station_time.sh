#!/usr/bin/env bash
# Not a test: the station of zelvar.exe under Wine flashing 1 and then 4 paced simulated
# receivers (a 64 KiB firmware, the verification on), RUNS times each, and prints the
# mean and the longest per-unit time of the 4-unit runs over the 1-unit runs' mean, all
# measured in this run (the target: at most 1.05).
#   bench/wine_station_time.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR [RUNS]
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
runs=${3:-1}
sim=$linux/zelvar-sim
zelvar=$linux/src/cli/zelvar
exe=$windows/src/cli/zelvar.exe

work=$(mktemp -d /tmp/zelvar-wine-station-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX" && wineserver -p >/dev/null 2>&1
wineboot -i >/dev/null 2>&1

(cd "$work" &&
    head -c 8192 /dev/urandom > pfld.bin && head -c 65532 /dev/urandom > fw.bin &&
    head -c 16384 /dev/urandom > fw-old.bin && head -c 5484 /dev/urandom > sfld.bin &&
    srec_cat sfld.bin -binary -offset 0x00201000 -execution-start-address 0x00201000 \
        -o sfld.srec -motorola -address-length=4 >/dev/null &&
    "$zelvar" make-image --pfld pfld.bin --fw fw-old.bin --sfld sfld.srec factory.bin >/dev/null &&
    "$zelvar" make-image --pfld pfld.bin --fw fw.bin --sfld sfld.srec image.bin >/dev/null)

# One station run over COM11.. COM1n, each a fresh paced receiver; prints the units'
# seconds from the report, one a line.
station_run() {  # units
    local ports=() n
    sims=()
    for n in $(seq 11 $((10 + $1))); do
        rm -f "$work/gps$n"
        "$sim" --link "$work/gps$n" --pace --flash-in "$work/factory.bin" > "$work/sim$n.txt" 2>&1 &
        sims+=($!)
        ports+=(--port "COM$n")
    done
    for n in $(seq 11 $((10 + $1))); do
        for _ in $(seq 50); do [[ -e $work/gps$n ]] && break; sleep 0.1; done
        ln -sfn "$work/gps$n" "$WINEPREFIX/dosdevices/com$n"
    done
    local rc=0
    wine "$exe" flash "${ports[@]}" --yes --report "$work/units.csv" --log-dir "$work/logs" \
        "$work/image.bin" > "$work/out.txt" 2>&1 < /dev/null || rc=$?
    for pid in "${sims[@]}"; do kill -INT "$pid" && wait "$pid" || true; done
    sims=()
    if [[ $rc != 0 ]]; then
        echo "the $1-unit station run failed ($rc):" >&2
        tr -d '\r' < "$work/out.txt" | tail -20 >&2
        exit 1
    fi
    awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "seconds") c = i; next } { print $c }' \
        "$work/units.csv"
}

single=()
several=()
for run in $(seq "$runs"); do
    single+=($(station_run 1))
    several+=($(station_run 4))
    printf 'run %d: 1 unit %.2f s; 4 units %s s\n' "$run" "${single[-1]}" "${several[*]: -4}"
done
awk -v one="${single[*]}" -v four="${several[*]}" 'BEGIN {
    n1 = split(one, a, " "); n4 = split(four, b, " ")
    for (i = 1; i <= n1; i++) s += a[i]
    for (i = 1; i <= n4; i++) { t += b[i]; if (b[i] > m) m = b[i] }
    printf "per-unit time under Wine, 4 units / 1 unit: mean %.4f, longest %.4f\n", (t / n4) / (s / n1), m / (s / n1)
}'
