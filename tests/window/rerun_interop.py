"""The window's defaults run, stopped with Exit and Yes, the program started again and
run again (window_tests rerunWithTheDefaultsAddsToTheFirstStore, its output kept):
one store in the destination, holding each message of the mailbox once, as pypff and
readpst (-j 0) read it."""
import argparse
import os
import re
import subprocess
import sys
import tempfile
from collections import Counter

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'interop_pst'))
from pst_once_interop import check, pypff_subjects, readpst_subjects  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--window-tests', required=True)
    a = ap.parse_args()
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, BV_KEEP_OUTPUT=work, QT_QPA_PLATFORM='offscreen')
        r = subprocess.run([a.window_tests, 'rerunWithTheDefaultsAddsToTheFirstStore'], env=env,
                           capture_output=True, text=True, timeout=900)
        check(r.returncode == 0, 'the window test failed:\n' + r.stdout[-2000:] + r.stderr[-2000:])
        with open(os.path.join(work, 'in', 'Inbox.mbox'), 'rb') as f:
            want = Counter(m.decode() for m in re.findall(rb'^Subject: (.*)$', f.read(), re.M))
        out = os.path.join(work, 'out')
        stores = sorted(n for n in os.listdir(out) if n.endswith('.pst'))
        check(len(stores) == 1 and re.fullmatch(r'Brimvault[\d. ]+\.pst', stores[0]) is not None,
              'one store for all: %r' % stores)
        if stores:
            store = os.path.join(out, stores[0])
            got = pypff_subjects(store)
            check(got == want, 'pypff: %d messages, %d distinct; missing %r, extra %r' % (
                sum(got.values()), len(got), list((want - got).items())[:3], list((got - want).items())[:3]))
            got = readpst_subjects(store, work)
            check(got == want, 'readpst: %d messages; missing %r, extra %r' % (
                sum(got.values()), list((want - got).items())[:3], list((got - want).items())[:3]))
        print('%d messages, each once' % sum(want.values()))
    from pst_once_interop import FAILURES
    print('%d failure(s)' % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == '__main__':
    sys.exit(main())
