#!/usr/bin/env python3
"""Times brimvault-convert against its peers on generated mailboxes.

Each run writes into a fresh folder; outputs are deleted only after all timings
(creating files right after many were deleted is much slower on these disks), runs
of the tools alternate, and medians are reported side by side with the ratio to
the yardstick (a bare C splitter that only opens, writes and closes per message).

Every run reports its peak memory (maximum resident set size). --scale adds mailboxes
of 100,000, 400,000 and 1,000,000 small messages and --big the 2 GB mailbox of large
messages: peak memory and time against the message count (one run each unless
--scale-runs says otherwise; our tools and the bare splitter only).

bench.py --tool PATH --bare PATH [--runs N] [--corpora lf,crlf,small] [--kinds eml,msg,pst] [--big]
         [--scale] [--scale-runs N] [--out DIR] [--compare PATH] [--mbox PATH]

--mbox adds a mailbox made elsewhere (e.g. by another generator) as a corpus named by its file.

--compare runs a second build of brimvault-convert (e.g. the one before a change) as
"other-KIND", alternating with ours."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
OUT = os.path.join(HERE, "out")

CORPORA = {
    # name: (size MB or None, average message KB, CR LF, message count or None)
    "lf": (200, 18, False, None),
    "crlf": (200, 18, True, None),
    "small": (60, 0.5, False, None),
    "big": (2048, 180, False, None),
    "n100k": (None, 0.5, False, 100000),
    "n400k": (None, 0.5, False, 400000),
    "n1m": (None, 0.5, False, 1000000),
}
SCALE = ["n100k", "n400k", "n1m"]


GIVEN = {}  # corpus name -> a mailbox given with --mbox


def ensure_corpus(name):
    if name in GIVEN:
        return GIVEN[name]
    size, avg, crlf, count = CORPORA[name]
    path = os.path.join(DATA, name + ".mbox")
    if not os.path.exists(path):
        os.makedirs(DATA, exist_ok=True)
        amount = ["--size-mb", str(size)] if size is not None else ["--count", str(count)]
        args = [sys.executable, os.path.join(HERE, "gen_mbox.py"), path, *amount, "--avg-kb", str(avg)]
        if crlf:
            args.append("--crlf")
        subprocess.run(args, check=True)
    return path


def timed(cmd):
    """Wall seconds, peak RSS (MB) and CPU seconds (user + system, all threads) of one command."""
    t0 = time.perf_counter()
    r = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", *cmd], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       text=True)
    wall = time.perf_counter() - t0
    if r.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(cmd), r.stderr[-2000:]))
    rss, user, system = r.stderr.strip().splitlines()[-1].split()
    return wall, int(rss) / 1024.0, float(user) + float(system)


def count_messages(path):
    n = 0
    with open(path, "rb") as f:
        for line in f:
            if line.startswith(b"From "):
                n += 1
    return n


def count_files(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--bare", required=True)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--corpora", default="lf,crlf,small")
    ap.add_argument("--kinds", default="eml")
    ap.add_argument("--peers", default="bare,mailsplit,python")
    ap.add_argument("--big", action="store_true", help="also the 2 GB mailbox (memory check)")
    ap.add_argument("--scale", action="store_true", help="also 100,000, 400,000 and 1,000,000 small messages")
    ap.add_argument("--scale-runs", type=int, default=1, help="runs of the --scale and --big mailboxes")
    ap.add_argument("--out", default=OUT, help="where the outputs go (e.g. a tmpfs)")
    ap.add_argument("--compare", help="another brimvault-convert, run side by side with ours")
    ap.add_argument("--mbox", action="append", default=[], help="a mailbox file to use as a corpus too")
    a = ap.parse_args()
    for path in a.mbox:
        GIVEN[os.path.splitext(os.path.basename(path))[0]] = os.path.abspath(path)

    corpora = [c for c in a.corpora.split(",") if c] + list(GIVEN) + (SCALE if a.scale else []) + (["big"] if a.big else [])
    kinds = a.kinds.split(",")
    peers = [p for p in a.peers.split(",") if p]
    stamp = str(int(time.time()))
    runroot = os.path.join(a.out, "bench-" + stamp)
    os.makedirs(runroot)

    def commands(corpus, path, out):
        cmds = {}
        for k in kinds:
            cmds["ours-" + k] = [a.tool, "--to", k, "-o", out, path]
            if a.compare:
                cmds["other-" + k] = [a.compare, "--to", k, "-o", out, path]
        if "bare" in peers:
            cmds["bare-c"] = [a.bare, path, out]
        large = corpus == "big" or corpus in SCALE
        if "mailsplit" in peers and not large:
            cmds["git-mailsplit"] = ["sh", "-c", 'mkdir -p "$1" && git mailsplit -o"$1" "$2" >/dev/null', "-", out, path]
        if "python" in peers and not large:
            cmds["python-mailbox"] = [sys.executable, os.path.join(HERE, "py_split.py"), path, out]
        return cmds

    results = {}
    for corpus in corpora:
        path = ensure_corpus(corpus)
        runs = a.scale_runs if corpus == "big" or corpus in SCALE else a.runs
        for i in range(runs):
            names = list(commands(corpus, path, "").keys())
            # Alternate the order from run to run.
            if i % 2:
                names.reverse()
            for name in names:
                out = os.path.join(runroot, "%s-%s-%d" % (corpus, name, i))
                cmd = commands(corpus, path, out)[name]
                wall, rss, cpu = timed(cmd)
                results.setdefault((corpus, name), []).append((wall, rss, count_files(out), cpu))
                print("  %-6s %-15s run %d: %6.2f s  %6.2f s CPU  %7.1f MB  %d files" % (
                    corpus, name, i + 1, wall, cpu, rss, results[(corpus, name)][-1][2]), flush=True)

    print()
    print("%-6s %-15s %9s %9s %10s %8s %12s %10s %8s" % (
        "corpus", "tool", "median s", "vs bare", "vs ours-eml", "CPU s", "CPU vs eml", "peak MB", "files"))
    for corpus in corpora:
        base = results.get((corpus, "bare-c"))
        ours = results.get((corpus, "ours-eml"))
        bmed = statistics.median(r[0] for r in base) if base else None
        omed = statistics.median(r[0] for r in ours) if ours else None
        ocpu = statistics.median(r[3] for r in ours) if ours else None
        for (c, name), rs in results.items():
            if c != corpus:
                continue
            med = statistics.median(r[0] for r in rs)
            cpu = statistics.median(r[3] for r in rs)
            print("%-6s %-15s %9.2f %9s %10s %8.2f %12s %10.1f %8d" % (
                corpus, name, med, "%.2fx" % (med / bmed) if bmed else "-", "%.2fx" % (med / omed) if omed else "-",
                cpu, "%.2fx" % (cpu / ocpu) if ocpu else "-", max(r[1] for r in rs), rs[-1][2]))

    # Peak memory and time against the message count.
    sized = [c for c in corpora if c in SCALE or c == "big"]
    if sized:
        print()
        print("%-6s %10s %-15s %9s %10s" % ("corpus", "messages", "tool", "median s", "peak MB"))
        for corpus in sized:
            count = CORPORA[corpus][3] or count_messages(ensure_corpus(corpus))
            for (c, name), rs in results.items():
                if c == corpus:
                    print("%-6s %10d %-15s %9.2f %10.1f" % (corpus, count, name, statistics.median(r[0] for r in rs),
                                                           max(r[1] for r in rs)))
    shutil.rmtree(runroot, ignore_errors=True)


if __name__ == "__main__":
    main()
