#!/usr/bin/env python3
"""Where Morrow's lost games were lost: the first move after which a deeper search proves the loss.

    tools/find-losses.py GAMES.sgf [--name brain] [--analyser build/pbrain-morrow-deep]
                         [--nodes 3000000] [--games 1,4,7] [--positions FILE]

GAMES.sgf is a match's record as c-gomoku-cli writes it (games.sgf in a cli_match.py run folder);
--name is the player name Morrow has there (PB/PW). Every game Morrow lost is replayed: after each of
Morrow's moves, and before each, the position is searched by the analyser, a deep brain, with a
fixed node budget (INFO max_node) and two ranked moves (YXNBEST 2, whose lines carry the values,
also of moves decided by the threat searches before any iteration). The first move after which
the opponent is proven to win (or after which Morrow, to move again, is proven lost) is the losing
move. The value before it, Morrow to move, says what kind of loss it was:

  opening          lost before Morrow's fourth move of its own, or before its first
  missed attack    Morrow had a proven win itself before the move
  missed defence   the opponent had a three or a four on the board before the move, and the
                   proven win after it is a short one (threats, 25 plies at most)
  quiet middle     anything else: no threat on the board, or a long forced line

Prints one line per lost game, then the count of each class. --positions appends the position
before each losing move (Morrow to move) to FILE, one line "NAME SIZE x,y x,y ..." with the moves in
order, black first, as tools/check-proofs.py reads them.
"""
import argparse
import re
import subprocess
import sys

PROVEN = 29000
SHORT_WIN_PLIES = 25


def sgf_games(path):
    text = open(path, encoding="latin-1").read()
    for block in re.findall(r"\(;(.*?)\)", text, re.S):
        props = dict(re.findall(r"\b(PB|PW|RE|SZ|GN)\[([^\]]*)\]", block))
        moves = [(c, m) for c, m in re.findall(r";([BW])\[([a-z]{2})\]", block)]
        opening = len(re.findall(r"C\[opening move\]", block))
        yield props, [(ord(m[0]) - 97, ord(m[1]) - 97) for _, m in moves], opening


class Analyser:
    def __init__(self, command, size, nodes):
        self.p = subprocess.Popen(command, shell=True, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  text=True, bufsize=1)
        self.send("START %d" % size)
        self.expect_ok()
        for line in ("INFO timeout_turn 3600000", "INFO timeout_match 0", "INFO max_depth 64",
                     "INFO max_node %d" % nodes, "INFO rule 0"):
            self.send(line)

    def send(self, line):
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()

    def expect_ok(self):
        line = self.p.stdout.readline().strip()
        if line != "OK":
            sys.exit("find-losses: the analyser answered %r to START" % line)

    def value(self, moves):
        """The value for the side to move after `moves`, its best move, and the depth that gave
        them (0: decided before any search: a forced move, or a win the threat searches found)."""
        self.send("YXBOARD")
        to_move = len(moves) % 2
        for i, (x, y) in enumerate(moves):
            self.send("%d,%d,%d" % (x, y, 1 if i % 2 == to_move else 2))
        self.send("DONE")
        self.send("YXNBEST 2")
        value, best, depth = None, None, 0
        for raw in self.p.stdout:
            line = raw.strip()
            m = re.match(r"MESSAGE \(1\) (\d+,\d+) value (-?\d+) depth (\d+)", line)
            if m:
                best, value, depth = m.group(1), int(m.group(2)), int(m.group(3))
            elif re.match(r"^\d+,\d+$", line):
                return value, best or line, depth
        sys.exit("find-losses: the analyser stopped")

    def close(self):
        self.send("END")
        self.p.wait(timeout=10)


def three_or_four(moves, side, size):
    """Does `side` (0 black) have three or four stones in a five-cell window with no other stone?"""
    stones = {}
    for i, cell in enumerate(moves):
        stones[cell] = i % 2
    for x in range(size):
        for y in range(size):
            for dx, dy in ((1, 0), (0, 1), (1, 1), (1, -1)):
                cells = [(x + k * dx, y + k * dy) for k in range(5)]
                if not all(0 <= a < size and 0 <= b < size for a, b in cells):
                    continue
                owners = [stones.get(c) for c in cells]
                if (1 - side) not in owners and owners.count(side) >= 3:
                    return True
    return False


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("sgf")
    ap.add_argument("--name", default="brain")
    ap.add_argument("--analyser", default="build/pbrain-morrow-deep")
    ap.add_argument("--nodes", type=int, default=3000000)
    ap.add_argument("--games", help="only these game numbers, comma-separated")
    ap.add_argument("--positions", help="append the positions before the losing moves to this file")
    a = ap.parse_args()
    only = {int(g) for g in a.games.split(",")} if a.games else None

    counts = {}
    for props, moves, opening in sgf_games(a.sgf):
        number = int(props.get("GN", "0"))
        if only and number not in only:
            continue
        colour = 0 if props.get("PB") == a.name else 1 if props.get("PW") == a.name else None
        if colour is None:
            continue
        result = props.get("RE", "")
        lost = (colour == 0 and result.startswith("W+")) or (colour == 1 and result.startswith("B+"))
        if not lost:
            continue
        size = int(props.get("SZ", "15"))
        analyser = Analyser(a.analyser, size, a.nodes)
        own = [i for i in range(opening, len(moves)) if i % 2 == colour]
        verdict = None
        history = []  # (k, ply, value before it, best, forced) of Morrow's moves so far
        for k, ply in enumerate(own):
            before, best, depth = analyser.value(moves[:ply])
            forced = depth == 0 and (before is None or abs(before) < PROVEN)
            if before is not None and before <= -PROVEN:
                after = -before  # lost already: by a move before this one
            else:
                history.append((k, ply, before, best, forced))
                after, _, _ = analyser.value(moves[:ply + 1])
                if after is None or after < PROVEN:
                    continue
            # A forced move loses nothing: the last free choice did.
            choices = [h for h in history if not h[4]] or history or [(k, ply, before, best, forced)]
            losing = choices[-1]
            lk, lply, lbefore, lbest, _ = losing
            if lbefore is not None and lbefore >= PROVEN:
                kind = "missed attack"
            elif lk < 3 or (lbefore is not None and lbefore <= -PROVEN):
                kind = "opening"
            elif three_or_four(moves[:lply], 1 - colour, size) and 30000 - after <= SHORT_WIN_PLIES:
                kind = "missed defence"
            else:
                kind = "quiet middle"
            x, y = moves[lply]
            verdict = ("game %d (%s): move %d at %d,%d lost (opponent %+d after it; %s before it, best %s): %s"
                       % (number, "black" if colour == 0 else "white", lply + 1, x, y, after,
                          "%+d" % lbefore if lbefore is not None else "?", lbest, kind))
            counts[kind] = counts.get(kind, 0) + 1
            if a.positions:
                with open(a.positions, "a") as out:
                    out.write("game%d-move%d %d %s\n" % (number, lply + 1, size,
                                                          " ".join("%d,%d" % m for m in moves[:lply])))
            break
        analyser.close()
        if verdict is None:
            verdict = "game %d: no move found lost within %d nodes" % (number, a.nodes)
            counts["not found"] = counts.get("not found", 0) + 1
        print(verdict, flush=True)
    print("classes: " + ", ".join("%s %d" % kv for kv in sorted(counts.items())))


if __name__ == "__main__":
    main()
