#!/usr/bin/env bash
# Not a test: flashes a 256 KiB firmware image through the paced simulated receiver
# (programming at 115200 bit/s) once with the Linux zelvar and once with zelvar.exe under
# Wine, alternately, RUNS times each, and prints the Windows build's time over the Linux
# build's, both measured in this run.
#   bench/wine_flash_time.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR [RUNS]
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
runs=${3:-2}
sim=$linux/zelvar-sim
zelvar=$linux/src/cli/zelvar
exe=$windows/src/cli/zelvar.exe

work=$(mktemp -d /tmp/zelvar-wine-bench-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'pkill -f "zelvar-sim --link $work/" 2>/dev/null || true; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineboot -i >/dev/null 2>&1

(cd "$work" &&
    head -c 8192 /dev/urandom > pfld.bin && head -c 262140 /dev/urandom > fw.bin &&
    head -c 16384 /dev/urandom > fw-old.bin &&
    head -c 5484 /dev/urandom > sfld.bin &&
    srec_cat sfld.bin -binary -offset 0x00201000 -execution-start-address 0x00201000 \
        -o sfld.srec -motorola -address-length=4 >/dev/null &&
    "$zelvar" make-image --pfld pfld.bin --fw fw-old.bin --sfld sfld.srec factory.bin >/dev/null &&
    "$zelvar" make-image --pfld pfld.bin --fw fw.bin --sfld sfld.srec image.bin >/dev/null)

# Seconds of one flash, from the start of the command to its end.
flash_once() {  # linux|windows
    rm -f "$work/gps"
    "$sim" --link "$work/gps" --pace --flash-in "$work/factory.bin" > "$work/sim.txt" 2>&1 &
    local pid=$!
    for _ in $(seq 50); do [[ -e $work/gps ]] && break; sleep 0.1; done
    ln -sfn "$work/gps" "$WINEPREFIX/dosdevices/com5"
    local start end rc=0
    start=$(date +%s.%N)
    if [[ $1 == linux ]]; then
        "$zelvar" flash --port "$work/gps" --yes --no-verify --log "$work/l.txt" "$work/image.bin" \
            > "$work/out.txt" 2>&1 || rc=$?
    else
        wine "$exe" flash --port COM5 --yes --no-verify --log "$work/w.txt" "$work/image.bin" \
            > "$work/out.txt" 2>&1 || rc=$?
    fi
    end=$(date +%s.%N)
    kill -INT $pid && wait $pid || true
    if [[ $rc != 0 ]]; then
        echo "the $1 flash failed ($rc):" >&2
        cat "$work/out.txt" >&2
        exit 1
    fi
    awk "BEGIN { print $end - $start }"
}

# Wine's own start (a few hundred milliseconds) is part of the Windows time.
wine "$exe" --version > /dev/null 2>&1
linux_total=0
windows_total=0
for run in $(seq "$runs"); do
    l=$(flash_once linux)
    w=$(flash_once windows)
    printf 'run %d: Linux %.2f s, Windows under Wine %.2f s\n' "$run" "$l" "$w"
    linux_total=$(awk "BEGIN { print $linux_total + $l }")
    windows_total=$(awk "BEGIN { print $windows_total + $w }")
done
printf 'Windows build under Wine / Linux build, 256 KiB at 115200 bit/s: %.3f\n' \
    "$(awk "BEGIN { print $windows_total / $linux_total }")"
