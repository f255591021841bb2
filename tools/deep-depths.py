#!/usr/bin/env python3
"""Depth a brain reaches per turn of T ms on the benchmark positions.

    tools/deep-depths.py POSITIONS BRAIN [--ms 1000] [--max-depth 64] [--cwd DIR]

POSITIONS is what tools/dump-positions.cpp writes. Each position is one
fresh process: START 20, the turn time, a match clock too long to matter,
INFO max_depth, INFO show_detail 1, then the BOARD. Prints per position the
deepest iteration that ran to its end, its value and the speed, then the
median and the minimum depth, over all positions and over those whose
value is no proven win or loss (a proven result ends a turn early), and
the median speed.

Morrow's lines are "MESSAGE depth D value V nodes N time T ms ...". Other
brains that print "Depth D-S | Eval V | ... | Node N | Time T ms" in their
MESSAGE lines (Rapfi does) are read too; D is their nominal depth. --cwd
starts the brain in DIR (where its configuration lies).
"""
import argparse
import re
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


def read_turn(out):
    """(depth, value or None, nodes per second or None) of the turn's output"""
    depth, value, speed = 0, None, None
    for line in out.splitlines():
        words = line.split()
        if line.startswith("MESSAGE depth") and not line.endswith(" cut"):
            if int(words[2]) >= depth:
                depth, value = int(words[2]), int(words[4])
            nodes, ms = int(words[6]), int(words[8])
            speed = nodes * 1000 / ms if ms > 0 else speed
            continue
        m = re.search(r"Depth (\d+)-\d+ \| Eval (\S+) \|.*Node (\d+) \| Time (\d+) ?ms", line)
        if m:
            depth = int(m.group(1))
            ev = m.group(2)
            # "VAL_NONE" carries no value: the last one stands.
            if "M" in ev:
                value = 20000 if not ev.startswith("-") else -20000
            elif ev.lstrip("+-").isdigit():
                value = int(ev)
            nodes, ms = int(m.group(3)), int(m.group(4))
            speed = nodes * 1000 / ms if ms > 0 else speed
    return depth, value, speed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("positions")
    ap.add_argument("brain")
    ap.add_argument("--ms", type=int, default=1000)
    ap.add_argument("--max-depth", type=int, default=64)
    ap.add_argument("--cwd")
    a = ap.parse_args()
    depths, open_depths, speeds = [], [], []
    for name, stones in positions(a.positions):
        session = ["START 20", "INFO timeout_match 100000000", "INFO time_left 100000000",
                   "INFO timeout_turn %d" % a.ms, "INFO max_memory 134217728",
                   "INFO max_depth %d" % a.max_depth, "INFO show_detail 1",
                   "BOARD"] + stones + ["DONE", "END"]
        out = subprocess.run([a.brain], input="\n".join(session) + "\n", capture_output=True, text=True,
                             timeout=a.ms / 1000 + 60, cwd=a.cwd).stdout
        depth, value, speed = read_turn(out)
        depths.append(depth)
        if value is not None and abs(value) < 19000:
            open_depths.append(depth)
        if speed:
            speeds.append(speed)
        print("%-22s %2d %7s %8s" % (name, depth, "-" if value is None else value,
                                     "-" if speed is None else "%.0fk/s" % (speed / 1000)))
    print("median %g minimum %d over %d positions" % (statistics.median(depths), min(depths), len(depths)))
    if open_depths:
        print("median %g minimum %d over the %d positions with no proven result" % (
            statistics.median(open_depths), min(open_depths), len(open_depths)))
    if speeds:
        print("median speed %.0f nodes per second" % statistics.median(speeds))


if __name__ == "__main__":
    main()
