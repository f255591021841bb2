#!/usr/bin/env python3
"""Are the deep brain's proofs sound, and does it hold positions that hold? A referee brain judges.

    tools/check-proofs.py POSITIONS --referee CMD [--referee-cwd DIR] [--referee-ms 5000]
                          [--brain build/pbrain-morrow-deep] [--ms 1000] [--rule 0]

POSITIONS has one position a line, "NAME SIZE x,y x,y ...": the moves in order, black first, the
side to move next (tools/find-losses.py --positions writes them). For each position:

1. The referee judges it, the side to move to play, in --referee-ms: a position it finds lost
   for the side to move is no defence position and is left out.
2. The brain plays its turn of --ms (show_detail 1). A proof is an iteration whose value is
   29000 or more either way (a win or a loss by force, plies counted).
3. The referee judges the position after the brain's move: the brain held the position when the
   referee finds no forced win for the other side there. A proven result the brain claimed is
   confirmed when the referee finds the same (a mate score for the same side) before the move;
   otherwise it is counted false.

The referee is any brain that writes its evaluation in MESSAGE lines as "Eval V", V a number or
M<n> / -M<n> for a mate (Rapfi does); it never labels anything, it only judges.
"""
import argparse
import re
import subprocess

PROVEN = 29000


def board_commands(size, moves, rule, ms, extra=()):
    to_move = len(moves) % 2
    cmds = ["START %d" % size, "INFO rule %d" % rule, "INFO timeout_turn %d" % ms, "INFO timeout_match 0",
            "INFO max_memory 134217728", *extra, "BOARD"]
    cmds += ["%d,%d,%d" % (x, y, 1 if i % 2 == to_move else 2) for i, (x, y) in enumerate(moves)]
    return cmds + ["DONE"]


def run(argv, cmds, ms, cwd=None):
    out = subprocess.run(argv, input="\n".join(cmds + ["END"]) + "\n", capture_output=True, text=True,
                         timeout=ms / 1000 + 60, cwd=cwd, shell=isinstance(argv, str)).stdout
    return out.splitlines()


def referee_eval(a, size, moves):
    """The referee's last Eval for the side to move: ('mate', +1/-1) or ('value', v)."""
    lines = run(a.referee, board_commands(size, moves, a.rule, a.referee_ms), a.referee_ms, a.referee_cwd)
    evals = [m.group(1) for line in lines for m in [re.search(r"Eval (\S+)", line)] if m]
    if not evals:
        return None
    ev = evals[-1]
    if "M" in ev:
        return ("mate", -1 if ev.startswith("-") else 1)
    try:
        return ("value", int(ev))
    except ValueError:
        return None


def brain_turn(a, size, moves):
    """The brain's move and its iterations' values."""
    lines = run(a.brain, board_commands(size, moves, a.rule, a.ms, ("INFO show_detail 1",)), a.ms)
    values = [int(m.group(1)) for line in lines for m in [re.match(r"MESSAGE depth \d+ value (-?\d+)", line)] if m]
    move = next((tuple(map(int, line.split(","))) for line in lines if re.match(r"^\d+,\d+$", line)), None)
    return move, values


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("positions")
    ap.add_argument("--referee", required=True, help="the referee's command line")
    ap.add_argument("--referee-cwd")
    ap.add_argument("--referee-ms", type=int, default=5000)
    ap.add_argument("--brain", default="build/pbrain-morrow-deep")
    ap.add_argument("--ms", type=int, default=1000)
    ap.add_argument("--rule", type=int, default=0)
    a = ap.parse_args()

    counts = dict(positions=0, held=0, claims=0, false=0)
    for line in open(a.positions):
        fields = line.split()
        if len(fields) < 2:
            continue
        name, size = fields[0], int(fields[1])
        moves = [tuple(map(int, f.split(","))) for f in fields[2:]]
        before = referee_eval(a, size, moves)
        if before is None or before == ("mate", -1):
            print("%s: the referee finds it lost (%s): not a defence position" % (name, before), flush=True)
            continue
        counts["positions"] += 1
        move, values = brain_turn(a, size, moves)
        claim = next((v for v in reversed(values) if abs(v) >= PROVEN), None)
        verdict = []
        if claim is not None:
            counts["claims"] += 1
            confirmed = before[0] == "mate" and (before[1] > 0) == (claim > 0)
            if not confirmed:
                counts["false"] += 1
            verdict.append("claimed %+d, %s" % (claim, "confirmed" if confirmed else "FALSE"))
        if move is None:
            verdict.append("no move")
        else:
            after = referee_eval(a, size, moves + [move])
            held = after is not None and after != ("mate", 1)
            counts["held"] += held
            verdict.append("played %d,%d, %s (referee after it: %s)" % (move[0], move[1], "held" if held else "LOST", after))
        print("%s (referee before: %s): %s" % (name, before, "; ".join(verdict)), flush=True)
    print("defence positions %(positions)d, held %(held)d, proven results claimed %(claims)d, false %(false)d"
          % counts)


if __name__ == "__main__":
    main()
