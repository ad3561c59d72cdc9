#!/usr/bin/env python3
"""Adding to a large store against writing a new one: 10 messages appended to stores of
100 MB, 1 GB and 4 GB (goal: within 3x of converting them into a new store) and a 200 MB
mailbox appended to the 4 GB store (goal: within 1.2x of a new store). Medians of
--runs runs. The stores are made once into --data (about 2x their size in disk space:
the mailbox and its store) and removed with --clean.

    bench/append.py --tool build-bench/cli/brimvault-convert [--sizes 100,1024,4096]
                    [--runs 5] [--data bench/data/append] [--clean]
"""
import argparse
import os
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


def convert(tool, dest, mailbox):
    t = time.monotonic()
    r = subprocess.run([tool, '--to', 'pst', '--max-pst-size', '0', '-o', dest, mailbox],
                       capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit('conversion failed: ' + r.stderr[-500:])
    return time.monotonic() - t


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--sizes', default='100,1024,4096', help='store sizes in MB')
    ap.add_argument('--runs', type=int, default=5)
    ap.add_argument('--data', default=os.path.join(HERE, 'data', 'append'))
    ap.add_argument('--clean', action='store_true', help='remove the generated stores and mailboxes at the end')
    a = ap.parse_args()
    os.makedirs(a.data, exist_ok=True)
    work = os.path.join(a.data, 'work')
    sizes = [int(s) for s in a.sizes.split(',')]
    # Every run adds messages of its own (other seeds): none is already in the store.
    small = []
    for k in range(a.runs * (len(sizes) + 1)):
        d = os.path.join(a.data, 'ten-%d' % k)
        os.makedirs(d, exist_ok=True)
        gen(os.path.join(d, 'add.mbox'), 1000 + k, count=10)
        small.append(os.path.join(d, 'add.mbox'))
    results = []

    def new_store(mailbox):
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        return convert(a.tool, work, mailbox)

    base_new = statistics.median(new_store(small[k]) for k in range(a.runs))
    results.append(('10 messages, new store', base_new, None))
    used = a.runs
    for size in sizes:
        store = os.path.join(a.data, 'store-%d' % size)
        if not os.path.exists(os.path.join(store, 'add.pst')):
            box = os.path.join(a.data, 'base-%d' % size, 'add.mbox')
            os.makedirs(os.path.dirname(box), exist_ok=True)
            gen(box, size, size_mb=size * 0.93)
            shutil.rmtree(store, ignore_errors=True)
            os.makedirs(store)
            t = convert(a.tool, store, box)
            os.remove(box)
            print('made a %d MB store (%.1f MB) in %.1f s' % (size, os.path.getsize(os.path.join(store, 'add.pst')) / 2**20, t),
                  flush=True)
        times = [convert(a.tool, store, small[used + k]) for k in range(a.runs)]
        used += a.runs
        m = statistics.median(times)
        results.append(('10 messages appended to %d MB' % size, m, m / base_new))
    if 4096 in sizes:
        box = os.path.join(a.data, 'two-hundred', 'add.mbox')
        os.makedirs(os.path.dirname(box), exist_ok=True)
        gen(box, 200, size_mb=200)
        new = statistics.median(new_store(box) for _ in range(max(1, a.runs // 2)))
        # Appended to a copy each time, so that no message is found already there.
        appended = []
        for _ in range(max(1, a.runs // 2)):
            copy = os.path.join(a.data, 'copy')
            shutil.rmtree(copy, ignore_errors=True)
            os.makedirs(copy)
            shutil.copy(os.path.join(a.data, 'store-4096', 'add.pst'), copy)
            subprocess.run(['sync'])
            appended.append(convert(a.tool, copy, box))
        shutil.rmtree(os.path.join(a.data, 'copy'), ignore_errors=True)
        results.append(('200 MB mailbox, new store', new, None))
        results.append(('200 MB mailbox appended to 4096 MB', statistics.median(appended), statistics.median(appended) / new))
    print('\n%-40s %10s %8s' % ('case', 'median s', 'x new'))
    for name, t, ratio in results:
        print('%-40s %10.3f %8s' % (name, t, '%.2f' % ratio if ratio else ''))
    shutil.rmtree(work, ignore_errors=True)
    if a.clean:
        shutil.rmtree(a.data, ignore_errors=True)


if __name__ == '__main__':
    main()
