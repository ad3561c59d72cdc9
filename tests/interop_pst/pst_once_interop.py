#!/usr/bin/env python3
"""Each message once: two mailboxes of one export that share messages (the same
Message-ID, or without one the same header fields and body, with other labels) go into
one store, also with a mailbox listed twice, and the same conversion runs again. Every
store holds each message once, read by pypff, readpst (-j 0), pst-extractor and
pst-validate; a shared message's categories are the union of its labels in both
mailboxes, and its size and contents row follow them; the run that finds everything
there says so and succeeds.

Run by ctest (interop_pst_once)."""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
from collections import Counter

import pypff

FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        print('FAIL:', what, flush=True)
    return cond


def message(n, labels, message_id=True):
    head = ('From s@example.org Mon Dec  7 08:00:00 2026\nFrom: Sender <s@example.org>\nTo: r@example.org\n'
            'Subject: message %d\nDate: Mon, 7 Dec 2026 08:%02d:00 +0000\n' % (n, n))
    if message_id:
        head += 'Message-ID: <m%d@example.org>\n' % n
    return head + 'X-Brimvault-Labels: %s\n\nText of message %d.\n\n' % (labels, n)


def write(path, parts):
    with open(path, 'w') as f:
        f.write(''.join(parts))


def pypff_subjects(path):
    f = pypff.file()
    f.open(path)
    out = []

    def walk(folder):
        for i in range(folder.number_of_sub_messages):
            out.append(folder.get_sub_message(i).subject)
        for i in range(folder.number_of_sub_folders):
            walk(folder.get_sub_folder(i))
    walk(f.get_root_folder())
    f.close()
    return Counter(out)


def pypff_places(path):
    """Subject -> (folder path below the top, unread) of every message, as pypff reads it."""
    f = pypff.file()
    f.open(path)
    out = {}

    def walk(folder, where):
        for i in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(i)
            flags = next((e.get_data_as_integer() for rs in [m.get_record_set(0)] for e in rs.entries
                          if e.entry_type == 0x0E07), 1)
            out[m.subject] = ('/'.join(where[1:]), not flags & 1)
        for i in range(folder.number_of_sub_folders):
            sub = folder.get_sub_folder(i)
            walk(sub, where + [sub.name])
    walk(f.get_root_folder(), [])
    f.close()
    return out


def readpst_subjects(path, work):
    """Subject -> count, with -D: a label folder may be named "Deleted Items" too."""
    out = os.path.join(work, 'readpst')
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    r = subprocess.run(['readpst', '-j', '0', '-D', '-q', '-S', '-o', out, path], capture_output=True, text=True)
    check(r.returncode == 0, 'readpst %s: %s' % (path, r.stderr[-300:]))
    subjects = Counter()
    for root, _, files in os.walk(out):
        for name in files:
            with open(os.path.join(root, name), 'rb') as f:
                m = re.search(rb'^Subject: (.*?)\r?$', f.read(), re.M)
            if m:
                subjects[m.group(1).decode()] += 1
    return subjects


def extractor(path, js_readers):
    """Subject -> categories of every message (pst-extractor)."""
    dump = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'readers', 'pst_extractor_dump.js')
    r = subprocess.run(['node', dump, path], capture_output=True, text=True, env=dict(os.environ, NODE_PATH=js_readers))
    check(r.returncode == 0, 'pst-extractor: %s' % r.stderr[-300:])
    res = json.loads(r.stdout or '{}').get(path, {})
    check('exception' not in res and not res.get('logged'), 'pst-extractor %s: %s' % (path, str(res)[:300]))
    out = Counter()
    cats = {}
    for folder in res.get('folders', []):
        for m in folder['messages']:
            out[m['subject']] += 1
            cats[m['subject']] = sorted(m['named'].get('Keywords', []))
    return out, cats


def check_store(path, want, work, a, what, categories=None):
    r = subprocess.run([a.validate, path], capture_output=True, text=True)
    check(r.returncode == 0, '%s: pst-validate:\n%s' % (what, r.stdout[-800:]))
    # A merged message's size and its contents row follow its new categories.
    check('message.size' not in r.stdout and 'row_mismatch' not in r.stdout, '%s: pst-validate:\n%s' % (what, r.stdout[-800:]))
    m = re.search(r'(\d+) messages', r.stdout)
    check(m and int(m.group(1)) == sum(want.values()), '%s: pst-validate counts %s messages' % (what, m and m.group(1)))
    check(pypff_subjects(path) == want, '%s: pypff %r' % (what, pypff_subjects(path) - want))
    check(readpst_subjects(path, work) == want, '%s: readpst %r' % (what, readpst_subjects(path, work)))
    if a.js_readers:
        got, cats = extractor(path, a.js_readers)
        check(got == want, '%s: pst-extractor %r' % (what, got))
        for subject, expected in (categories or {}).items():
            check(cats.get(subject) == sorted(expected), '%s: categories of %s: %r, expected %r' %
                  (what, subject, cats.get(subject), sorted(expected)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--validate', required=True)
    ap.add_argument('--js-readers')
    ap.add_argument('--work', required=True)
    a = ap.parse_args()
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    inbox = os.path.join(a.work, 'Inbox.mbox')
    work = os.path.join(a.work, 'Work.mbox')
    # 1-3 only in Inbox, 4-5 in both (5 without a Message-ID), 6 only in Work.
    # 1-3 only in Inbox, 4-5 and 7-10 in both (5 without a Message-ID), 6 only in Work.
    write(inbox, [message(1, 'Inbox'), message(2, 'Inbox,Unread'), message(3, 'Inbox'),
                  message(4, 'Inbox,Starred,Receipts'), message(5, 'Inbox,Family', message_id=False),
                  message(7, 'Receipts'), message(8, ''), message(9, 'Sent'), message(10, 'Family,Unread')])
    write(work, [message(4, 'Work,Important'), message(5, 'Work', message_id=False), message(6, 'Work'),
                 message(7, 'Work,Trash'), message(8, 'Work'), message(9, 'Inbox,Unread'), message(10, 'Inbox')])
    every = Counter('message %d' % n for n in range(1, 11))
    # (Inbox names a folder and Starred a flag: the other labels are categories.)
    shared = {'message 4': ['Receipts', 'Work', 'Important'], 'message 5': ['Family', 'Work'],
              'message 7': ['Receipts', 'Work'], 'message 8': ['Work'], 'message 10': ['Family']}
    # Sorted by labels, a shared message is in the folder the labels of both copies
    # choose, below the folder of the mailbox it came in first (moved there when the
    # second copy changes the choice), with its unread state.
    places = {'message 1': ('Inbox/Inbox', False), 'message 2': ('Inbox/Inbox', True),
              'message 3': ('Inbox/Inbox', False), 'message 4': ('Inbox/Inbox', False),
              'message 5': ('Inbox/Inbox', False), 'message 6': ('Work/Work', False),
              'message 7': ('Inbox/Deleted Items', False),  # Trash before any other label
              'message 8': ('Inbox/Work', False),  # a user label before none ("Archive")
              'message 9': ('Inbox/Sent Items', False),  # Sent before Inbox: it stays
              'message 10': ('Inbox/Inbox', True)}  # Inbox before a user label

    # One store for both, one of them listed twice; then the same again.
    dest = os.path.join(a.work, 'single')
    r = subprocess.run([a.tool, '--to', 'pst', '--single-pst', '--by-label', '-o', dest, inbox, work, inbox],
                       capture_output=True, text=True)
    check(r.returncode == 0, 'single store: %s' % r.stderr[-500:])
    stores = [n for n in os.listdir(dest) if n.endswith('.pst')]
    if check(len(stores) == 1, 'single store: %r' % stores):
        check_store(os.path.join(dest, stores[0]), every, a.work, a, 'single store', shared)
        got = {k: v for k, v in pypff_places(os.path.join(dest, stores[0])).items()}
        for subject, want in places.items():
            check(got.get(subject) == want, 'single store: %s in %r, expected %r' % (subject, got.get(subject), want))

    # Mailbox A, then mailbox B of the same name into its store: the second run merges
    # B's labels into the messages A brought.
    dest = os.path.join(a.work, 'appended')
    os.makedirs(os.path.join(a.work, 'other'))
    second = os.path.join(a.work, 'other', 'Inbox.mbox')
    shutil.copy(work, second)
    for mailbox in (inbox, second):
        r = subprocess.run([a.tool, '--to', 'pst', '--by-label', '-o', dest, mailbox], capture_output=True, text=True)
        check(r.returncode == 0, 'A then B: %s' % r.stderr[-500:])
    check_store(os.path.join(dest, 'Inbox.pst'), every, a.work, a, 'A then B', shared)

    # A store per mailbox, run twice: the second run finds every message there.
    dest = os.path.join(a.work, 'per-mailbox')
    for run in (1, 2):
        r = subprocess.run([a.tool, '--to', 'pst', '-o', dest, inbox, work], capture_output=True, text=True)
        check(r.returncode == 0, 'per mailbox, run %d: %s' % (run, r.stderr[-500:]))
        if run == 2:
            check('0 message(s) converted' in r.stdout and '; all 16 message(s) already there' in r.stdout,
                  'per mailbox, run again: %r' % r.stdout[-400:])
    check_store(os.path.join(dest, 'Inbox.pst'), Counter('message %d' % n for n in (1, 2, 3, 4, 5, 7, 8, 9, 10)),
                a.work, a, 'Inbox.pst')
    check_store(os.path.join(dest, 'Work.pst'), Counter('message %d' % n for n in (4, 5, 6, 7, 8, 9, 10)),
                a.work, a, 'Work.pst')
    left = [n for n in os.listdir(dest) if n not in ('Inbox.pst', 'Work.pst')]
    check(not left, 'per mailbox: files beside the stores: %r' % left)
    print('%d failure(s)' % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == '__main__':
    sys.exit(main())
