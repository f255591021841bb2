#!/usr/bin/env python3
"""First and second turn of a fresh brain process, position by position.

    tools/first-turn-times.py BRAIN POSITIONS [--churn-mb N] [--max-memory BYTES] [--gap-ms MS]

POSITIONS holds BOARD lists as tools/dump-positions.cpp writes them ("# name",
"x,y,who" lines, "DONE"). Each position gets a new process, fed what
c-gomoku-cli sends (START 20, the INFO lines, BOARD at once or --gap-ms
after them), and the same
BOARD again: the first reply pays for bringing the tables in, the second
finds them ready. Between positions a helper process allocates and frees
--churn-mb megabytes in small blocks, to leave the system's memory
fragmented as a machine running two engines does. Prints per position the
two times in milliseconds, then the median and worst of each and of the
difference.
"""
import argparse
import statistics
import subprocess
import sys
import time

CHURN = r"""
import sys
blocks = [bytearray(4096 + (i % 7) * 512) for i in range(int(sys.argv[1]) * 220)]
del blocks[::2]
keep = [bytearray(1 << 16) for _ in range(len(blocks) // 64)]
"""


def read_positions(path):
    positions, name, lines = [], None, []
    for line in open(path):
        line = line.strip()
        if line.startswith("#"):
            name = line[1:].strip()
        elif line == "DONE":
            positions.append((name or str(len(positions)), lines))
            name, lines = None, []
        elif line:
            lines.append(line)
    return positions


def timed_board(brain, stones):
    brain.stdin.write("BOARD\n" + "".join(s + "\n" for s in stones))
    brain.stdin.flush()
    begin = time.perf_counter()
    brain.stdin.write("DONE\n")
    brain.stdin.flush()
    while True:
        reply = brain.stdout.readline()
        if not reply:
            sys.exit("the brain ended without a move")
        if not reply.startswith("MESSAGE"):
            return (time.perf_counter() - begin) * 1000.0, reply.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("brain")
    parser.add_argument("positions")
    parser.add_argument("--churn-mb", type=int, default=0)
    parser.add_argument("--max-memory", type=int, default=367001600)
    parser.add_argument("--gap-ms", type=int, default=0)
    args = parser.parse_args()
    firsts, seconds = [], []
    for name, stones in read_positions(args.positions):
        if args.churn_mb:
            subprocess.run([sys.executable, "-c", CHURN, str(args.churn_mb)], check=True)
        brain = subprocess.Popen([args.brain], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        brain.stdin.write("START 20\n")
        brain.stdin.flush()
        assert brain.stdout.readline().strip() == "OK"
        brain.stdin.write("INFO rule 0\nINFO timeout_turn 5000\nINFO timeout_match 0\n"
                          f"INFO max_memory {args.max_memory}\nINFO time_left 2147483647\n")
        brain.stdin.flush()
        time.sleep(args.gap_ms / 1000.0)
        first, move1 = timed_board(brain, stones)
        second, move2 = timed_board(brain, stones)
        brain.stdin.write("END\n")
        brain.stdin.flush()
        brain.wait()
        firsts.append(first)
        seconds.append(second)
        print(f"{name:24} first {first:7.1f} ms  second {second:7.1f} ms  {move1} {move2}")
    diffs = [a - b for a, b in zip(firsts, seconds)]
    print(f"first   total {sum(firsts):7.0f} ms  median {statistics.median(firsts):6.1f}  worst {max(firsts):6.1f}")
    print(f"second  total {sum(seconds):7.0f} ms  median {statistics.median(seconds):6.1f}  worst {max(seconds):6.1f}")
    print(f"first - second  median {statistics.median(diffs):6.1f}  worst {max(diffs):6.1f}")


if __name__ == "__main__":
    main()
