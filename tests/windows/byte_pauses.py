#!/usr/bin/env python3
"""The pauses between the bytes of the requests in a torv-sim --trace-bytes log
(stdin), in milliseconds per byte: each piece read after the first of its
request is split evenly over its bytes. Prints gaps, min, median, p90, max."""
import statistics
import sys

gaps = []
pieces = []  # (microsecond, bytes) of the request being received
for line in sys.stdin:
    words = line.split()
    if len(words) >= 3 and words[1] == "us" and words[2] == "rx":
        pieces.append((int(words[0]), len(words) - 3))
    elif len(words) >= 3 and words[1] == "ms" and words[2] == "in":
        for (t0, _), (t1, n) in zip(pieces, pieces[1:]):
            gaps += [(t1 - t0) / n / 1000.0] * n
        pieces = []
if not gaps:
    sys.exit("no request came in pieces")
gaps.sort()
print("gaps=%d min=%.2f median=%.2f p90=%.2f max=%.2f" % (
    len(gaps), gaps[0], statistics.median(gaps), gaps[int(len(gaps) * 0.9)], gaps[-1]))
