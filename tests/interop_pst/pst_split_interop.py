#!/usr/bin/env python3
"""Stores written in parts: brimvault-convert --max-pst-size with a small limit, in the
per-mailbox, single-store and appending modes, with and without --by-label. Every part
is read back by readpst (-j 0), pffinfo, pypff and pst-validate; every message must be
found exactly once (also after converting the same mailboxes again), no part may pass the
limit unless it holds one message larger than the limit alone, and the completion
message names the parts and says the run read every store back as written. Sorted by labels, every message keeps its label folder, read
state, follow-up flag and text and categories in whichever part it landed.

Run by ctest (interop_pst_split)."""
import argparse
import base64
import os
import random
import re
import shutil
import subprocess
import sys
from collections import Counter

try:
    import pypff
except ImportError:  # pragma: no cover
    pypff = None

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from interop_common import (FLAG_REQUEST, KEYWORDS, PR_FLAG_STATUS, PR_MESSAGE_FLAGS, check, finish,  # noqa: E402
                            multi_unicode, named_ids, pypff_messages)
import interop_common  # noqa: E402

LIMIT = 1 << 20  # --max-pst-size 1M


def run(cmd):
    return interop_common.run(cmd, text=True)


def write_mailbox(path, name, count, big_at=None):
    """`count` messages with subjects "<name> message N": plain text, HTML, some with
    attachments and many recipients; message `big_at` carries 1.5 MB, more than the limit."""
    rnd = random.Random(name)
    subjects = []
    with open(path, 'w') as f:
        for i in range(1, count + 1):
            subject = '%s message %d' % (name, i)
            subjects.append(subject)
            recipients = ', '.join('r%d@example.org' % j for j in range(1 if i % 9 else 60))
            f.write('From s%d@example.org Mon Dec  7 08:00:00 2026\nFrom: Sender <s%d@example.org>\n'
                    'To: %s\nSubject: %s\nDate: Mon, 7 Dec 2026 08:%02d:00 +0000\nMIME-Version: 1.0\n'
                    % (i, i, recipients, subject, i % 60))
            size = 1536 * 1024 if i == big_at else (rnd.choice([3000, 40000, 150000]) if i % 11 == 0 else 0)
            if size:
                data = base64.encodebytes(rnd.randbytes(size)).decode()
                f.write('Content-Type: multipart/mixed; boundary="b"\n\n--b\nContent-Type: text/plain\n\n'
                        'See the file.\n--b\nContent-Type: application/octet-stream\n'
                        'Content-Disposition: attachment; filename="f%d.bin"\n'
                        'Content-Transfer-Encoding: base64\n\n%s--b--\n\n' % (i, data))
            elif i % 2:
                f.write('Content-Type: text/html; charset=utf-8\n\n<html><body>%s</body></html>\n\n'
                        % ('<p>Paragraph %d \u00e9t\u00e9</p>\n' % i * rnd.randint(1, 120)))
            else:
                f.write('Content-Type: text/plain; charset=utf-8\n\n%s\n' % ('Line of %s.\n' % subject * rnd.randint(1, 150)))
    return subjects


# Labels by message number (mod 5): (labels, folder, unread, starred, categories).
LABELLED = [
    ('Inbox,Starred,Work/Projects', 'Inbox', False, True, ['Work/Projects']),
    ('Family,Unread', 'Family', True, False, ['Family']),
    ('Receipts,Starred,Personal', 'Receipts', False, True, ['Receipts', 'Personal']),
    ('Sent', 'Sent Items', False, False, []),
    ('Work/Projects,Unread,Starred', 'Work/Projects', True, True, ['Work/Projects']),
]


def write_labelled(path, name, count, more=False):
    """`count` labelled messages, subjects "<name> labelled N", of 1 KB to 8 KB, each
    with the labels Later and Trash too when `more`: subject -> (folder, unread,
    starred, categories)."""
    rnd = random.Random(name)
    expected = {}
    with open(path, 'w') as f:
        for i in range(1, count + 1):
            subject = '%s labelled %d' % (name, i)
            labels, folder, unread, starred, categories = LABELLED[i % len(LABELLED)]
            if more:  # Trash chooses the folder before any other label
                labels, folder, categories = labels + ',Later,Trash', 'Deleted Items', categories + ['Later']
            expected[subject] = (folder, unread, starred, categories)
            f.write('From s%d@example.org Mon Dec  7 08:00:00 2026\nFrom: Sender <s%d@example.org>\n'
                    'To: r@example.org\nSubject: %s\nDate: Mon, 7 Dec 2026 08:%02d:00 +0000\n'
                    'X-Brimvault-Labels: %s\nContent-Type: text/plain; charset=utf-8\n\n%s\n'
                    % (i, i, subject, i % 60, labels, ''.join(rnd.choice('abcdefgh \n') for _ in range(rnd.randint(1000, 8000)))))
    return expected


def check_labels(parts, mailbox, expected, times=1):
    """Every message of `expected` (subject -> (folder, unread, starred, categories)) found
    `times` over across the parts, below the mailbox's folder, with its read flag,
    follow-up flag and text and categories, as pypff reads them with each part's own
    name-to-ID map."""
    if not pypff:
        return
    seen = Counter()
    for path in parts:
        ids = named_ids(path)
        keywords, request = ids.get(KEYWORDS), ids.get(FLAG_REQUEST)
        for folder, subject, entries in pypff_messages(path, pypff):
            if subject not in expected:
                continue
            seen[subject] += 1
            want_folder, unread, starred, categories = expected[subject]
            where = '%s: %s' % (os.path.basename(path), subject)
            check(folder == ('Top of Personal Folders', mailbox) + tuple(want_folder.split('/')),
                  '%s: in folder %r, expected %s' % (where, folder, want_folder))
            flags = entries[PR_MESSAGE_FLAGS].get_data_as_integer() if PR_MESSAGE_FLAGS in entries else 0
            check(bool(flags & 1) != unread, '%s: message flags %#x' % (where, flags))
            status = entries[PR_FLAG_STATUS].get_data_as_integer() if PR_FLAG_STATUS in entries else None
            check(status == (2 if starred else None), '%s: flag status %r' % (where, status))
            text = entries[request].get_data_as_string() if request in entries else None
            check(text == ('Follow up' if starred else None), '%s: follow-up text %r' % (where, text))
            cats = multi_unicode(entries[keywords].get_data()) if keywords in entries else []
            check(cats == categories, '%s: categories %r, expected %r' % (where, cats, categories))
    wrong = {s: seen[s] for s in expected if seen[s] != times}
    check(not wrong, '%s: labelled messages not read back %d time(s) by pypff: %r' % (mailbox, times, dict(list(wrong.items())[:10])))


def part_names(stem, count):
    return ['%s.pst' % stem] + ['%s (%d).pst' % (stem, k) for k in range(2, count + 1)]


def parts_of(dest, stem):
    """The parts of store `stem` in `dest`, in order; they must be numbered without gaps."""
    found = sorted((n for n in os.listdir(dest) if n == stem + '.pst' or re.fullmatch(re.escape(stem) + r' \(\d+\)\.pst', n)),
                   key=lambda n: 1 if n == stem + '.pst' else int(n[len(stem) + 2:-5]))
    check(found == part_names(stem, len(found)), '%s: parts not numbered in order: %r' % (stem, found))
    return [os.path.join(dest, n) for n in found]


def read_part(path, work, validate, relabelled=False):
    """Subjects in the part (readpst), its top folder name (the store's display name),
    its mailbox folder names (pypff); checks pffinfo and pst-validate (which finds the
    size of a message whose categories grew not updated: a warning only)."""
    out = os.path.join(work, 'readpst-' + re.sub(r'\W', '_', os.path.basename(path)))
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    r = run(['readpst', '-j', '0', '-D', '-S', '-o', out, path])  # (-D: label folders named "Deleted Items" too)
    check(r.returncode == 0, 'readpst %s: %s' % (path, r.stderr[-500:]))
    tops = os.listdir(out)
    subjects = []
    for root, _, files in os.walk(out):
        for name in files:
            with open(os.path.join(root, name), 'rb') as f:
                m = re.search(rb'^Subject: (.*?)\r?$', f.read(), re.M)
            if m:
                subjects.append(m.group(1).decode('utf-8', 'replace'))
    r = run(['pffinfo', path])
    check(r.returncode == 0 and 'Unable' not in r.stdout + r.stderr, 'pffinfo %s: %s' % (path, r.stderr[-300:]))
    messages = None
    if validate:
        r = run([validate, path])
        warnings = [line for line in r.stdout.splitlines() if line.strip().startswith('warning')]
        if relabelled:
            warnings = [w for w in warnings if not w.strip().startswith('warning message.size ')]
        check(r.returncode == 0 and ' 0 error(s),' in r.stdout and not warnings,
              'pst-validate %s:\n%s' % (path, r.stdout[-800:]))
        m = re.search(r'(\d+) messages', r.stdout)
        messages = int(m.group(1)) if m else None
        check(messages == len(subjects), '%s: pst-validate counts %s messages, readpst %d' % (path, messages, len(subjects)))
    folders = []
    if pypff:
        f = pypff.file()
        f.open(path)
        top = f.get_root_folder()
        for i in range(top.number_of_sub_folders):
            sub = top.get_sub_folder(i)
            if sub.name == 'Top of Personal Folders':
                folders = [sub.get_sub_folder(j).name for j in range(sub.number_of_sub_folders)]
                folders = [name for name in folders if name != 'Deleted Items']
        f.close()
    return subjects, tops, folders


def check_store(dest, stem, expected, work, validate, stdout, times=1, min_parts=1, limit=LIMIT, relabelled=False):
    parts = parts_of(dest, stem)
    check(len(parts) >= min_parts, '%s: %d parts, expected at least %d' % (stem, len(parts), min_parts))
    seen = Counter()
    tops = set()
    folder_lists = []
    for path in parts:
        subjects, top, folders = read_part(path, work, validate, relabelled)
        seen.update(subjects)
        tops.update(top)
        folder_lists.append(folders)
        size = os.path.getsize(path)
        check(size <= limit or len(subjects) == 1, '%s: %d bytes with %d messages' % (path, size, len(subjects)))
        check(path in stdout, 'the completion message does not name %s' % path)
    check(len(tops) == 1, '%s: the parts have different display names: %r' % (stem, tops))
    # Every store the run wrote or added to read back as it was written.
    check(re.search(r'; read back: \d+ items in \d+ folders, as written', stdout),
          '%s: the run did not read its stores back as written: %s' % (stem, stdout[-500:]))
    wrong = {s: n for s, n in seen.items() if n != times} | {s: 0 for s in expected if s not in seen}
    check(not wrong, '%s: messages not found exactly %d time(s): %r' % (stem, times, dict(list(wrong.items())[:10])))
    check(set(seen) == set(expected), '%s: messages that were not in the mailboxes' % stem)
    return parts, folder_lists


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--validate')
    ap.add_argument('--work', required=True)
    ap.add_argument('--js-readers')
    a = ap.parse_args()
    for tool in ('readpst', 'pffinfo'):
        if not shutil.which(tool):
            print('%s not installed' % tool)
            return 1
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    boxes = os.path.join(a.work, 'in')
    os.makedirs(boxes)
    anna = write_mailbox(os.path.join(boxes, 'anna.mbox'), 'anna', 260, big_at=77)
    bert = write_mailbox(os.path.join(boxes, 'bert.mbox'), 'bert', 90)
    inputs = [os.path.join(boxes, 'anna.mbox'), os.path.join(boxes, 'bert.mbox')]

    # One store per mailbox, then the same mailboxes again: every part, also the full
    # ones, is known to hold its messages, so nothing is added.
    dest = os.path.join(a.work, 'per-mailbox')
    r = run([a.tool, '--to', 'pst', '--max-pst-size', '1M', '-o', dest] + inputs)
    check(r.returncode == 1, 'per mailbox: exit %d, expected 1 for the oversized message\n%s' % (r.returncode, r.stderr))
    check(re.search(r'warning: .*anna\.mbox \(message 77\): it is larger than the store size limit', r.stderr),
          'the oversized message is not reported: ' + r.stderr[-1000:])
    check('Stores larger than the size limit were written in parts:' in r.stdout, 'no parts named: ' + r.stdout)
    parts, _ = check_store(dest, 'anna', anna, a.work, a.validate, r.stdout, min_parts=5)
    check_store(dest, 'bert', bert, a.work, a.validate, r.stdout)
    alone = [p for p in parts if read_part(p, a.work, None)[0] == ['anna message 77']]
    check(len(alone) == 1, 'the oversized message does not have a part of its own')

    def contents():
        return {n: open(os.path.join(dest, n), 'rb').read() for n in sorted(os.listdir(dest))}
    before = contents()
    r = run([a.tool, '--to', 'pst', '--max-pst-size', '1M', '-o', dest] + inputs)
    check(r.returncode == 0 and '; all %d message(s) already there' % (len(anna) + len(bert)) in r.stdout,
          'again: exit %d\n%s\n%s' % (r.returncode, r.stdout, r.stderr[-1000:]))
    check(contents() == before, 'again: a store or part changed though nothing was added')
    check_store(dest, 'anna', anna, a.work, a.validate, r.stdout)
    check_store(dest, 'bert', bert, a.work, a.validate, r.stdout)

    # One store for both mailboxes: each part has the same folders as the store so far.
    dest = os.path.join(a.work, 'single')
    r = run([a.tool, '--to', 'pst', '--single-pst', '--max-pst-size', '1M', '-o', dest] + inputs)
    check(r.returncode == 1, 'single store: exit %d\n%s' % (r.returncode, r.stderr))
    stems = {re.sub(r'( \(\d+\))?\.pst$', '', n) for n in os.listdir(dest)}
    check(len(stems) == 1, 'single store: more than one store: %r' % stems)
    _, folder_lists = check_store(dest, stems.pop(), anna + bert, a.work, a.validate, r.stdout, min_parts=5)
    if pypff:
        check(all(f[:1] == ['anna'] for f in folder_lists), 'single store: parts without the folder anna: %r' % folder_lists)
        check(folder_lists[-1] == ['anna', 'bert'], 'single store: the last part lacks a folder: %r' % folder_lists[-1])

    check_by_label(a, boxes)
    return finish()


def check_by_label(a, boxes):
    """Sorted by labels into stores of 300 KB parts: per mailbox, appended to, one store."""
    carl = write_labelled(os.path.join(boxes, 'carl.mbox'), 'carl', 150)
    dora = write_labelled(os.path.join(boxes, 'dora.mbox'), 'dora', 40)
    inputs = [os.path.join(boxes, 'carl.mbox'), os.path.join(boxes, 'dora.mbox')]
    dest = os.path.join(a.work, 'by-label')
    cmd = [a.tool, '--to', 'pst', '--by-label', '--max-pst-size', '300K', '-o', dest] + inputs
    for run_number in (1, 2):  # the second run finds every message there, and makes no part
        r = run(cmd)
        check(r.returncode == 0, 'by label, run %d: exit %d\n%s' % (run_number, r.returncode, r.stderr[-1000:]))
        if run_number == 2:
            check(sorted(os.listdir(dest)) == made, 'by label, again: parts %r, before %r' % (sorted(os.listdir(dest)), made))
        made = sorted(os.listdir(dest))
        for stem, expected in (('carl', carl), ('dora', dora)):
            parts, _ = check_store(dest, stem, list(expected), a.work, a.validate, r.stdout,
                                   min_parts=2 if stem == 'dora' else 3, limit=300 * 1024)
            check_labels(parts, stem, expected)
    dest = os.path.join(a.work, 'by-label-single')
    r = run([a.tool, '--to', 'pst', '--single-pst', '--by-label', '--max-pst-size', '300K', '-o', dest] + inputs)
    check(r.returncode == 0, 'by label, one store: exit %d\n%s' % (r.returncode, r.stderr[-1000:]))
    stems = {re.sub(r'( \(\d+\))?\.pst$', '', n) for n in os.listdir(dest)}
    check(len(stems) == 1, 'by label, one store: more than one store: %r' % stems)
    parts, _ = check_store(dest, stems.pop(), list(carl) + list(dora), a.work, a.validate, r.stdout, min_parts=5,
                           limit=300 * 1024)
    check_labels(parts, 'carl', carl)
    check_labels(parts, 'dora', dora)

    # carl's messages again, each with two more labels: nothing is added; Later joins
    # the categories of every message and Trash moves it to "Deleted Items" below its
    # mailbox's folder, in the full parts as in the open one.
    dest = os.path.join(a.work, 'by-label')
    carl = write_labelled(os.path.join(boxes, 'carl.mbox'), 'carl', 150, more=True)
    r = run([a.tool, '--to', 'pst', '--by-label', '--max-pst-size', '300K', '-o', dest, inputs[0]])
    check(r.returncode == 0 and '; all 150 message(s) already there' in r.stdout,
          'by label, a label more: exit %d\n%s\n%s' % (r.returncode, r.stdout, r.stderr[-1000:]))
    # (A full part whose free space is too cut up to take the messages written again
    # with their categories grows by an allocation map's region, 248 KB.)
    parts, _ = check_store(dest, 'carl', list(carl), a.work, a.validate, r.stdout, min_parts=3,
                           limit=300 * 1024 + 0x3E000, relabelled=True)
    check_labels(parts, 'carl', carl)
    # pst-extractor too: every part opens, every message is in its new folder with Later.
    dump = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'readers', 'pst_extractor_dump.js')
    got = interop_common.js_reader(a.js_readers, 'pst-extractor', [dump] + parts, timeout=300) if a.js_readers else None
    if got is not None:
        seen = Counter()
        for path, res in got.items():
            check('exception' not in res and not res.get('logged'), 'pst-extractor %s: %s' % (path, str(res)[:300]))
            for folder in res.get('folders', []):
                for m in folder['messages']:
                    seen[m['subject']] += 1
                    check(folder['path'].endswith('/carl/Deleted Items') and 'Later' in m['named'].get('Keywords', []),
                          'pst-extractor: %s in %s with %r' % (m['subject'], folder['path'], m['named'].get('Keywords')))
        check(seen == Counter(list(carl)), 'pst-extractor: messages read %d, expected each of %d once' % (sum(seen.values()), len(carl)))


if __name__ == '__main__':
    sys.exit(main())
