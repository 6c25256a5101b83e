#!/usr/bin/env python3
"""A quick model of the flash programming's frame length policy on a noisy line.

Weighs halve-on-refusal / double-after-G-clean-frames policies (shortest length, longest
length, G) before bench_noisy_line measures the chosen one for real: per bit error rate,
the run time over the clean time (median, 95th percentile, longest) and the chance that
the job lets through an error the frame's 16-bit check word cannot see.

The line: every bit of a byte's 10-bit UART frame flips with rate p on the way in; a
frame of b bits is refused with 1 - exp(-b p) and written again as it was. An accepted
frame of W 16-bit words hides an unseen error with 16 p^2 W (W - 1) / 2. Times: the wire
at 115200 bit/s, a fixed cost per frame (pause and handshake), a cost per refusal (the
error answer and the wait after it) and the job's other steps, calibrated against
bench_noisy_line's runs with 2 KiB frames and with the earlier policy.

    bench/frame_policy_model.py [runs per case]
"""
import math
import random
import sys

IMAGE_BYTES = 274432       # 12 KiB PFLD and 256 KiB FW, as bench_noisy_line flashes
RECORD_BYTES = 2048        # the image's records
FRAME_HEADER_BYTES = 12    # address, length, check word and framing around the data
FRAME_COST_S = 0.025       # pause and handshake per frame
REFUSAL_COST_S = 0.42      # per refused frame, beyond writing it again
LINE_BYTES_PER_S = 11520.0
OTHER_STEPS_S = 18.4       # connect, SFLD upload, erase, verification

POLICIES = [  # shortest, longest, clean frames per doubling
    (2048, 2048, 16),
    (128, 2048, 16),
    (128, 2048, 24),
    (256, 2048, 24),
    (256, 2048, 32),
    (256, 2048, 48),
    (512, 2048, 32),
]
RATES = [1e-6, 1e-5, 3e-5]


def run(p, policy, rng):
    shortest, longest, grow_after = policy
    length, clean, seconds, unseen = longest, 0, OTHER_STEPS_S, 0.0
    frames = data = 0
    remaining, record_left = IMAGE_BYTES, 0
    while remaining > 0:
        if record_left == 0:
            record_left = min(RECORD_BYTES, remaining)
        n = min(length, record_left)
        bits = 10 * (n + FRAME_HEADER_BYTES)
        while True:
            seconds += bits / 10 / LINE_BYTES_PER_S + FRAME_COST_S
            if rng.random() >= 1 - math.exp(-bits * p):
                break
            seconds += REFUSAL_COST_S
            length, clean = max(shortest, length // 2), 0
        words = n / 2 + 1
        unseen += 16 * p * p * words * (words - 1) / 2
        frames, data = frames + 1, data + n
        record_left, remaining = record_left - n, remaining - n
        clean += 1
        if length < longest and clean >= grow_after:
            length, clean = min(longest, length * 2), 0
    return seconds, 1 - math.exp(-unseen), data / frames


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    clean = run(0, POLICIES[0], random.Random(1))[0]
    print("rate     policy (short, long, G)   median  p95   longest  unseen/run  mean frame")
    for p in RATES:
        for policy in POLICIES:
            rng = random.Random(5)
            results = [run(p, policy, rng) for _ in range(runs)]
            times = sorted(r[0] / clean for r in results)
            print("%-8g %-25s %5.2f  %5.2f  %5.2f    %.4f      %4.0f" % (
                p, policy, times[len(times) // 2], times[int(0.95 * len(times))], times[-1],
                sum(r[1] for r in results) / runs, sum(r[2] for r in results) / runs))


if __name__ == "__main__":
    main()
