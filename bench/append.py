#!/usr/bin/env python3
"""Adding to a large store against writing a new one: 10 messages appended to stores of
100 MB, 1 GB and 4 GB (goal: within 3x of converting them into a new store) and 200 MB
mailboxes appended to the 4 GB store (goal: within 1.2x of a new store; the store grows
by each). Medians of --runs runs, the new-store run and the appends taking turns (the
machine's load then weighs on both alike); wall time and the user+sys CPU seconds of the
converter. A
store's size is its file's (a mailbox of N MB gives a store of about 2N MB). The stores
are made once into --data (about 1.5x their size in disk space while one is made) and
removed with --clean.

    bench/append.py --tool build-bench/cli/brimvault-convert [--sizes 100,1024,4096]
                    [--runs 5] [--data bench/data/append] [--clean]
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def gen(path, seed, size_mb=None, count=None, avg_kb=30):
    if os.path.exists(path):
        return
    cmd = [sys.executable, os.path.join(HERE, 'gen_mbox.py'), path, '--avg-kb', str(avg_kb), '--seed', str(seed),
           '--ids', 'seed%d' % seed]
    cmd += ['--size-mb', str(size_mb)] if size_mb else ['--count', str(count)]
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def cpu():
    u = resource.getrusage(resource.RUSAGE_CHILDREN)
    return u.ru_utime + u.ru_stime


def convert(tool, dest, mailbox, on_disk=None):
    """(wall seconds, user+sys CPU seconds) of one conversion. With a list as on_disk,
    the wall seconds until the file system has also put what it wrote on the disk (a
    sync after the program) are appended to it."""
    t, c = time.monotonic(), cpu()
    r = subprocess.run([tool, '--to', 'pst', '--max-pst-size', '0', '-o', dest, mailbox],
                       capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit('conversion failed: ' + r.stderr[-500:])
    wall, used = time.monotonic() - t, cpu() - c
    if on_disk is not None:
        subprocess.run(['sync'])
        on_disk.append((time.monotonic() - t, used))
    return wall, used


def median(pairs):
    return statistics.median(p[0] for p in pairs), statistics.median(p[1] for p in pairs)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--sizes', default='100,1024,4096', help='store sizes in MB')
    ap.add_argument('--runs', type=int, default=5)
    ap.add_argument('--data', default=os.path.join(HERE, 'data', 'append'))
    ap.add_argument('--seed', type=int, default=1000, help='first seed of the small mailboxes (new ones: new messages)')
    ap.add_argument('--clean', action='store_true', help='remove the generated stores and mailboxes at the end')
    a = ap.parse_args()
    os.makedirs(a.data, exist_ok=True)
    work = os.path.join(a.data, 'work')
    sizes = [int(s) for s in a.sizes.split(',')]
    # Every run adds messages of its own (other seeds): none is already in the store.
    small = []
    for k in range(a.runs * (len(sizes) + 1)):
        d = os.path.join(a.data, 'ten-%d' % (a.seed + k))
        os.makedirs(d, exist_ok=True)
        gen(os.path.join(d, 'add.mbox'), a.seed + k, count=10)
        small.append(os.path.join(d, 'add.mbox'))
    results = []

    def new_store(mailbox):
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        return convert(a.tool, work, mailbox)

    for size in sizes:
        store = os.path.join(a.data, 'store-%d' % size)
        if not os.path.exists(os.path.join(store, 'add.pst')):
            box = os.path.join(a.data, 'base-%d' % size, 'add.mbox')
            os.makedirs(os.path.dirname(box), exist_ok=True)
            gen(box, size, size_mb=size * 0.47)
            shutil.rmtree(store, ignore_errors=True)
            os.makedirs(store)
            t, _ = convert(a.tool, store, box)
            os.remove(box)
            print('made a %d MB store (%.1f MB) in %.1f s' % (size, os.path.getsize(os.path.join(store, 'add.pst')) / 2**20, t),
                  flush=True)
    new_runs, appended = [], {size: [] for size in sizes}
    used = 0
    for k in range(a.runs):
        new_runs.append(new_store(small[used]))
        used += 1
        for size in sizes:
            appended[size].append(convert(a.tool, os.path.join(a.data, 'store-%d' % size), small[used]))
            used += 1
    base_new = median(new_runs)
    results.append(('10 messages, new store', base_new, None))
    for size in sizes:
        m = median(appended[size])
        results.append(('10 messages appended to %d MB' % size, m, m[0] / base_new[0]))
    if 4096 in sizes:
        # Each pair adds a mailbox of its own to the 4 GB store itself (which grows by
        # 0.4 GB a pair), so that no message is there already and no copy of the store is
        # made and deleted between timings; which of the two runs first alternates. An
        # append commits as it goes, so its data is on the disk when it ends, while a new
        # store's is still being written out after the program has ended: the runs are
        # also timed until the file system has put them on the disk.
        new, big, new_disk, big_disk = [], [], [], []
        for k in range(max(3, a.runs // 2)):
            box = os.path.join(a.data, 'two-hundred-%d' % k, 'add.mbox')
            os.makedirs(os.path.dirname(box), exist_ok=True)
            gen(box, 200 + a.seed + k, size_mb=200)
            fresh = os.path.join(a.data, 'new-two-hundred-%d-%d' % (a.seed, k))
            os.makedirs(fresh, exist_ok=True)
            subprocess.run(['sync'])
            for which in ((0, 1) if k % 2 == 0 else (1, 0)):
                if which == 0:
                    new.append(convert(a.tool, fresh, box, new_disk))
                else:
                    big.append(convert(a.tool, os.path.join(a.data, 'store-4096'), box, big_disk))
        for k in range(max(3, a.runs // 2)):
            shutil.rmtree(os.path.join(a.data, 'new-two-hundred-%d-%d' % (a.seed, k)), ignore_errors=True)
        results.append(('200 MB mailbox, new store', median(new), None))
        results.append(('200 MB mailbox appended to 4096 MB', median(big), median(big)[0] / median(new)[0]))
        results.append(('200 MB mailbox, new store, until on disk', median(new_disk), None))
        results.append(('200 MB mailbox appended to 4096 MB, until on disk', median(big_disk),
                        median(big_disk)[0] / median(new_disk)[0]))
    print('\n%-52s %10s %10s %8s' % ('case', 'wall s', 'cpu s', 'x new'))
    for name, (t, c), ratio in results:
        print('%-52s %10.3f %10.3f %8s' % (name, t, c, '%.2f' % ratio if ratio else ''))
    shutil.rmtree(work, ignore_errors=True)
    if a.clean:
        shutil.rmtree(a.data, ignore_errors=True)


if __name__ == '__main__':
    main()
