#!/usr/bin/env python3
"""Conversions to .pst killed (SIGKILL) at points spread over their run, in each store
mode: a new store per mailbox, one store for all (--single-pst), label folders
(--by-label), appending to a store we wrote and appending to an Outlook-made store.

After each kill every store in the destination validates (pst-validate, no errors) and
pypff, readpst (-j 0) and pst-extractor open it; a store that was there before still
holds what it held. The same conversion run again then completes it exactly: every
message of the mailboxes once, and nothing but the stores left in the destination.

Run by ctest (interop_pst_kill). BV_PST_COMMIT_MESSAGES makes the stores commit every
few hundred messages, so that the kills fall between, during and after commits."""
import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from collections import Counter

try:
    import pypff
except ImportError:  # pragma: no cover
    pypff = None

FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        print('FAIL:', what, flush=True)
    return cond


def write_mailbox(path, name, count):
    """`count` messages, subject "<name> N", half of them with a label header; every
    13th has a 30 kB attachment, every 17th no Message-ID."""
    rnd = random.Random(name)
    subjects = []
    with open(path, 'w') as f:
        for i in range(1, count + 1):
            subject = '%s %d' % (name, i)
            subjects.append(subject)
            f.write('From s%d@example.org Mon Dec  7 08:00:00 2026\nFrom: Sender <s%d@example.org>\n'
                    'To: r@example.org\nSubject: %s\nDate: Mon, 7 Dec 2026 08:%02d:00 +0000\n' % (i, i, subject, i % 60))
            if i % 17:
                f.write('Message-ID: <%s.%d@example.org>\n' % (name, i))
            if i % 2:
                f.write('X-Brimvault-Labels: %s\n' % rnd.choice(['Inbox', 'Inbox,Starred', 'Work', 'Unread,Important']))
            if i % 13 == 0:
                data = ''.join(rnd.choice('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef0123456789') for _ in range(30000))
                f.write('MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary="b"\n\n--b\n'
                        'Content-Type: text/plain\n\nSee the file.\n--b\nContent-Type: application/octet-stream\n'
                        'Content-Disposition: attachment; filename="f%d.txt"\n\n%s\n--b--\n\n' % (i, data))
            else:
                f.write('\n%s\n' % ('Line %d of %s.\n' % (i, subject) * rnd.randint(1, 40)))
    return subjects


def store_subjects(path):
    """Subjects of every message in the store (pypff), or None when it cannot be opened."""
    try:
        f = pypff.file()
        f.open(path)
    except (OSError, IOError) as e:
        check(False, 'pypff cannot open %s: %s' % (path, e))
        return None
    out = []

    def walk(folder):
        for i in range(folder.number_of_sub_messages):
            out.append(folder.get_sub_message(i).subject or '')
        for i in range(folder.number_of_sub_folders):
            walk(folder.get_sub_folder(i))
    try:
        walk(f.get_root_folder())
    except (OSError, IOError) as e:
        check(False, 'pypff cannot read %s: %s' % (path, e))
    f.close()
    return out


def validate(tool, path, what):
    r = subprocess.run([tool, path], capture_output=True, text=True)
    check(r.returncode == 0, '%s: pst-validate %s:\n%s' % (what, path, r.stdout[-1500:]))


def readpst_opens(path, work, what):
    out = os.path.join(work, 'readpst')
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    r = subprocess.run(['readpst', '-j', '0', '-q', '-o', out, path], capture_output=True, text=True)
    check(r.returncode == 0, '%s: readpst %s: %s' % (what, path, r.stderr[-500:]))


def stores(dest):
    return sorted(n for n in os.listdir(dest) if n.endswith('.pst'))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--validate', required=True)
    ap.add_argument('--corpus', required=True)
    ap.add_argument('--js-readers')
    ap.add_argument('--work', required=True)
    ap.add_argument('--points', type=int, default=20)
    a = ap.parse_args()
    if not pypff or not shutil.which('readpst'):
        print('pypff or readpst not installed')
        return 1
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    boxes = os.path.join(a.work, 'in')
    os.makedirs(boxes)
    anna = write_mailbox(os.path.join(boxes, 'anna.mbox'), 'anna', 1000)
    bert = write_mailbox(os.path.join(boxes, 'bert.mbox'), 'bert', 400)
    inputs = [os.path.join(boxes, 'anna.mbox'), os.path.join(boxes, 'bert.mbox')]
    env = dict(os.environ, BV_PST_COMMIT_MESSAGES='100')
    outlook = os.path.join(a.corpus, 'pst/pstsdk/sample1.pst')

    def prepare_dest(mode, dest):
        """The destination before the run: empty, or with the stores to append to."""
        shutil.rmtree(dest, ignore_errors=True)
        os.makedirs(dest)
        if mode == 'append':
            seed = os.path.join(a.work, 'seed')
            if not os.path.isdir(seed):
                os.makedirs(seed)
                first = [os.path.join(boxes, 'anna-first.mbox')]
                if not os.path.exists(first[0]):
                    write_mailbox(first[0], 'first', 300)
                r = subprocess.run([a.tool, '--to', 'pst', '--single-pst', '-o', seed] + first,
                                   capture_output=True, text=True)
                check(r.returncode == 0, 'seed store: %s' % r.stderr[-500:])
                os.rename(os.path.join(seed, stores(seed)[0]), os.path.join(seed, 'anna.pst'))
            shutil.copy(os.path.join(seed, 'anna.pst'), dest)
        if mode == 'outlook':
            shutil.copy(outlook, os.path.join(dest, 'anna.pst'))
            os.chmod(os.path.join(dest, 'anna.pst'), 0o644)

    def args(mode, dest):
        extra = {'single': ['--single-pst'], 'labels': ['--by-label']}.get(mode, [])
        return [a.tool, '--to', 'pst'] + extra + ['-o', dest] + inputs

    def expected(mode):
        before = {'append': ['first %d' % i for i in range(1, 301)], 'outlook': store_subjects(outlook)}.get(mode, [])
        return Counter(anna + bert + before)

    # How long a whole run takes in each mode, then kills spread over that time.
    modes = ['new', 'single', 'labels', 'append', 'outlook']
    full = {}
    for mode in modes:
        dest = os.path.join(a.work, 'timing')
        prepare_dest(mode, dest)
        t = time.monotonic()
        r = subprocess.run(args(mode, dest), capture_output=True, text=True, env=env)
        full[mode] = time.monotonic() - t
        check(r.returncode == 0, '%s: full run failed: %s' % (mode, r.stderr[-800:]))
        got = Counter()
        for n in stores(dest):
            got.update(store_subjects(os.path.join(dest, n)) or [])
        check(got == expected(mode), '%s: a whole run does not hold each message once: %r' %
              (mode, list((got - expected(mode)).items())[:5] + list((expected(mode) - got).items())[:5]))
    print('run times:', {m: round(t, 2) for m, t in full.items()}, flush=True)

    snapshots = os.path.join(a.work, 'snapshots')
    os.makedirs(snapshots)
    snapshot_files = []
    rnd = random.Random(19)
    for point in range(a.points):
        mode = modes[point % len(modes)]
        # Spread over the run: from the start to just past its end.
        at = full[mode] * (point + rnd.random()) / a.points * 1.1
        dest = os.path.join(a.work, 'kill-%02d-%s' % (point, mode))
        prepare_dest(mode, dest)
        before = {n: store_subjects(os.path.join(dest, n)) for n in stores(dest)}
        p = subprocess.Popen(args(mode, dest), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        time.sleep(at)
        p.send_signal(signal.SIGKILL)
        p.wait()
        what = 'kill %d (%s at %.2f s)' % (point, mode, at)
        for n in stores(dest):
            path = os.path.join(dest, n)
            validate(a.validate, path, what)
            readpst_opens(path, a.work, what)
            got = store_subjects(path)
            if got is not None and n in before:
                check(not (Counter(before[n]) - Counter(got)), '%s: %s lost messages it held' % (what, n))
            copy = os.path.join(snapshots, '%02d-%s' % (point, n))
            shutil.copy(path, copy)
            snapshot_files.append(copy)
        # The same conversion again completes it.
        r = subprocess.run(args(mode, dest), capture_output=True, text=True, env=env)
        check(r.returncode == 0, '%s: the run after the kill failed: %s' % (what, r.stderr[-800:]))
        # (With --single-pst every run makes a store of its own, named by the time it
        # started: a run killed after its end leaves a whole one beside the new one.)
        per_store = mode == 'single'
        got = Counter()
        want = expected(mode)
        for n in stores(dest):
            validate(a.validate, os.path.join(dest, n), what + ', run again')
            if per_store:
                got = Counter()
            got.update(store_subjects(os.path.join(dest, n)) or [])
            if per_store or n == stores(dest)[-1]:
                check(got == want, '%s: after the run again not each message once (%s): extra %r, missing %r' %
                      (what, n, list((got - want).items())[:5], list((want - got).items())[:5]))
        left = [n for n in os.listdir(dest) if not n.endswith('.pst') or n.startswith('.')]
        check(not left, '%s: files left beside the stores: %r' % (what, left))
        print('%s: %s' % (what, 'ok' if not FAILURES else 'failures so far: %d' % len(FAILURES)), flush=True)

    # pst-extractor reads every store a kill left, in one process.
    if a.js_readers and shutil.which('node') and snapshot_files:
        dump = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'readers', 'pst_extractor_dump.js')
        r = subprocess.run(['node', dump] + snapshot_files, capture_output=True, text=True,
                           env=dict(os.environ, NODE_PATH=a.js_readers))
        check(r.returncode == 0, 'pst-extractor: %s' % r.stderr[-500:])
        results = json.loads(r.stdout or '{}')
        for path in snapshot_files:
            res = results.get(path, {})
            check('exception' not in res and not res.get('logged'),
                  'pst-extractor %s: %s' % (path, (res.get('exception') or str(res.get('logged')))[:300]))
    print('%d failure(s)' % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == '__main__':
    sys.exit(main())
