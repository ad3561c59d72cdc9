#!/usr/bin/env python3
"""Each message once: two mailboxes of one export that share messages (the same header
fields and body, with other labels) go into one store, also with a mailbox listed
twice, and the same conversion runs again; distinct messages that share a Message-ID
(a mailer's constant ID, revisions of one message, other senders, one date) are each
kept, in every store mode and appended to an Outlook-made store. Every
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


def reusing(n, message_id, sender, date, subject, body, labels):
    """A message of its own that reuses `message_id`."""
    return ('From x@example.org Mon Dec  7 08:00:00 2026\nFrom: %s\nTo: r@example.org\nSubject: %s\n'
            'Date: %s\nMessage-ID: %s\nX-Brimvault-Labels: %s\n\n%s %d.\n\n' %
            (sender, subject, date, message_id, labels, body, n))


# Distinct messages that share Message-IDs: three statements of a mailer that gives
# every message one ID, two revisions of one change, one ID from two senders, and
# three test messages with one ID, date and subject that differ in their text.
SHARED_IDS = [
    reusing(1, '<notification@localhost>', 'Bank <no-reply@bank.example>', 'Mon, 2 Nov 2026 06:00:00 +0000',
            'Your statement is ready', 'Statement for October', 'Inbox'),
    reusing(2, '<notification@localhost>', 'Bank <no-reply@bank.example>', 'Tue, 1 Dec 2026 06:00:00 +0000',
            'Your statement is ready', 'Statement for November', 'Inbox'),
    reusing(3, '<notification@localhost>', 'Shop <orders@shop.example>', 'Tue, 1 Dec 2026 06:00:00 +0000',
            'Your order has shipped', 'Parcel', 'Inbox'),
    reusing(4, '<pull/42@code.example>', 'Dev <dev@code.example>', 'Wed, 2 Dec 2026 10:00:00 +0000',
            '[project] Fix the parser (#42)', 'Revision', 'Inbox'),
    reusing(5, '<pull/42@code.example>', 'Dev <dev@code.example>', 'Wed, 2 Dec 2026 11:30:00 +0000',
            '[project] Fix the parser (#42)', 'Revision', 'Inbox'),
    reusing(6, '<same@test.example>', 'Tester <t@test.example>', 'Thu, 3 Dec 2026 09:00:00 +0000', 'test', 'Case', ''),
    reusing(7, '<same@test.example>', 'Tester <t@test.example>', 'Thu, 3 Dec 2026 09:00:00 +0000', 'test', 'Case', ''),
    reusing(8, '<same@test.example>', 'Other <o@test.example>', 'Thu, 3 Dec 2026 09:00:00 +0000', 'test', 'Case', ''),
]
SHARED_IDS_SUBJECTS = Counter({'Your statement is ready': 2, 'Your order has shipped': 1,
                               '[project] Fix the parser (#42)': 2, 'test': 3})


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


def summary_counts(stdout):
    """(converted, already there) from the summary line."""
    m = re.search(r'(\d+) message\(s\) converted', stdout)
    there = re.search(r'(\d+) message\(s\) already there', stdout)
    return (int(m.group(1)) if m else None, int(there.group(1)) if there else 0)


def shared_ids(a, inbox):
    """Each distinct message that shares an ID is stored once, in every store mode, and
    true copies in a second mailbox and a second run are not added again."""
    notices = os.path.join(a.work, 'Notices.mbox')
    copies = os.path.join(a.work, 'Copies.mbox')
    write(notices, SHARED_IDS)
    # True copies, with other labels: messages 2 and 5 again, and one of the inbox. (An
    # export marks every message with a state label too: without any system label the
    # run would warn that the mailbox's labels are not understood.)
    write(copies, [SHARED_IDS[1].replace('Labels: Inbox', 'Labels: Bills,Opened'),
                   SHARED_IDS[4].replace('Labels: Inbox', 'Labels: Code,Opened'), message(1, 'Work,Opened')])
    every = SHARED_IDS_SUBJECTS + Counter({'message 1': 1})
    # One store (the mailbox of notices listed twice), sorted by labels, and in parts
    # so small that each message has a part of its own: a copy is known by every part.
    modes = [('single', ['--single-pst']), ('labels', ['--single-pst', '--by-label']),
             ('parts', ['--single-pst', '--max-pst-size', '264K'])]
    for name, flags in modes:
        dest = os.path.join(a.work, 'ids-' + name)
        r = subprocess.run([a.tool, '--to', 'pst'] + flags + ['-o', dest, notices, copies, notices],
                           capture_output=True, text=True)
        alone = [l for l in r.stderr.splitlines() if 'larger than the store size limit' not in l]
        check(r.returncode == 0 or (name == 'parts' and not alone), 'shared IDs, %s: %s' % (name, r.stderr[-500:]))
        check(summary_counts(r.stdout) == (9, 2), 'shared IDs, %s: %r' % (name, r.stdout[-400:]))
        stores = sorted(n for n in os.listdir(dest) if n.endswith('.pst'))
        got = Counter()
        for store in stores:
            got += pypff_subjects(os.path.join(dest, store))
            r = subprocess.run([a.validate, os.path.join(dest, store)], capture_output=True, text=True)
            check(r.returncode == 0, 'shared IDs, %s: pst-validate %s:\n%s' % (name, store, r.stdout[-800:]))
        check(got == every, 'shared IDs, %s: pypff %r' % (name, got))
        if name != 'parts':
            check(len(stores) == 1, 'shared IDs, %s: %r' % (name, stores))
            check_store(os.path.join(dest, stores[0]), every, a.work, a, 'shared IDs, ' + name)
        else:
            check(len(stores) == 9, 'shared IDs, parts: %r' % stores)

    # A store per mailbox, run twice: each keeps its own, and the second run adds nothing.
    dest = os.path.join(a.work, 'ids-per-mailbox')
    for run in (1, 2):
        r = subprocess.run([a.tool, '--to', 'pst', '-o', dest, notices, copies], capture_output=True, text=True)
        check(r.returncode == 0 and summary_counts(r.stdout) == ((11, 0) if run == 1 else (0, 11)),
              'shared IDs, per mailbox, run %d: %r' % (run, r.stdout[-400:]))
    check_store(os.path.join(dest, 'Notices.pst'), SHARED_IDS_SUBJECTS, a.work, a, 'shared IDs, Notices.pst')

    # Appended to a store Outlook wrote: its messages stay, each of ours comes once.
    outlook = os.path.join(a.corpus, 'pst/pstsdk/sample1.pst')
    dest = os.path.join(a.work, 'ids-outlook')
    os.makedirs(dest)
    target = os.path.join(dest, 'Notices.pst')
    shutil.copy(outlook, target)
    before = pypff_subjects(target)
    for run in (1, 2):
        r = subprocess.run([a.tool, '--to', 'pst', '-o', dest, notices], capture_output=True, text=True)
        check(r.returncode == 0, 'shared IDs, Outlook store, run %d: %s' % (run, r.stderr[-500:]))
        check(summary_counts(r.stdout) == ((8, 0) if run == 1 else (0, 8)),
              'shared IDs, Outlook store, run %d: %r' % (run, r.stdout[-400:]))
    check_store(target, before + SHARED_IDS_SUBJECTS, a.work, a, 'shared IDs, Outlook store')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--validate', required=True)
    ap.add_argument('--js-readers')
    ap.add_argument('--corpus', required=True)
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

    shared_ids(a, inbox)
    print('%d failure(s)' % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == '__main__':
    sys.exit(main())
