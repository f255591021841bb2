#!/usr/bin/env python3
"""Depth a brain reaches per turn of T ms on the benchmark positions.

    tools/deep-depths.py POSITIONS BRAIN [--ms 1000] [--max-depth 20]

POSITIONS is what tools/dump-positions.cpp writes. Each position is one
fresh process: START 20, the time INFO of a turn clock alone, INFO
max_depth, INFO show_detail 1, then the BOARD. Prints per position the
deepest iteration that ran to its end and its value, then the median and
the minimum, over all positions and over those whose value is no proven
win or loss (a proven result ends a deep turn early).
"""
import argparse
import statistics
import subprocess


def positions(path):
    name, lines = None, []
    for line in open(path):
        line = line.rstrip("\n")
        if line.startswith("# "):
            name, lines = line[2:], []
        elif line == "DONE":
            yield name, lines
        else:
            lines.append(line)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("positions")
    ap.add_argument("brain")
    ap.add_argument("--ms", type=int, default=1000)
    ap.add_argument("--max-depth", type=int, default=20)
    a = ap.parse_args()
    depths, open_depths = [], []
    for name, stones in positions(a.positions):
        session = ["START 20", "INFO timeout_match 0", "INFO time_left 2147483647",
                   "INFO timeout_turn %d" % a.ms, "INFO max_depth %d" % a.max_depth, "INFO show_detail 1",
                   "BOARD"] + stones + ["DONE", "END"]
        out = subprocess.run([a.brain], input="\n".join(session) + "\n", capture_output=True, text=True,
                             timeout=60).stdout
        depth, value = 0, None
        for line in out.splitlines():
            words = line.split()
            if line.startswith("MESSAGE depth") and not line.endswith(" cut") and int(words[2]) > depth:
                depth, value = int(words[2]), int(words[4])
        depths.append(depth)
        if value is not None and abs(value) < 19000:
            open_depths.append(depth)
        print("%-22s %2d %s" % (name, depth, "-" if value is None else value))
    print("median %g minimum %d over %d positions" % (statistics.median(depths), min(depths), len(depths)))
    if open_depths:
        print("median %g minimum %d over the %d positions with no proven result" % (
            statistics.median(open_depths), min(open_depths), len(open_depths)))


if __name__ == "__main__":
    main()
