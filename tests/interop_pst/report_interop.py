#!/usr/bin/env python3
"""The run's report and the stores read back.

A .pst run over mailboxes that share a message, a file that is no mailbox, an archive
with a mailbox, contacts (one card broken) and a calendar, and a message larger than
the store size limit writes --report as CSV and as JSON Lines: one row per message,
card and event and per input not converted. The rows that say converted match, store
file by store file and folder by folder, what pypff and readpst (-j 0) find there; the
other rows say what the inputs hold. A run killed part way leaves a report whose rows
are the first rows of the whole run's.

Every store mode (per mailbox, one store, parts, added to, sorted by labels) reads its
stores back as written; --verify reads them back again, and says what differs in a
store whose item was removed behind its back (pst_write_tool remove) and in a store cut
short.

Run by ctest (interop_report)."""
import argparse
import csv
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import zipfile
from collections import Counter

import pypff

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from interop_common import check, finish, run  # noqa: E402

READ_BACK = re.compile(r'read back: (\d+) items in (\d+) folders, as written')


def message(n, subject, message_id=None, labels='Inbox', body='Text.\n'):
    head = ('From s@example.org Mon Dec  7 08:00:00 2026\nFrom: Sender %d <s%d@example.org>\nTo: r@example.org\n'
            'Subject: %s\nDate: Mon, 7 Dec 2026 08:%02d:00 +0000\n' % (n, n, subject, n % 60))
    if message_id:
        head += 'Message-ID: <%s>\n' % message_id
    return head + 'X-Brimvault-Labels: %s\n\n%s\n' % (labels, body)


def write(path, text):
    with open(path, 'w', newline='') as f:
        f.write(text)


def inputs(work):
    """The inputs of the report run, and what the report is to say of them."""
    d = os.path.join(work, 'in')
    os.makedirs(d)
    big = 'x' * 76 + '\n'
    write(os.path.join(d, 'anna.mbox'), ''.join([
        message(1, 'alpha one', 'a1@example.org'),
        message(2, '=?UTF-8?B?w6l0w6k=?=', 'a2@example.org'),
        message(3, '=SUM(1+1)', 'a3@example.org'),
        message(4, 'no id'),
        message(5, 'shared', 'shared@example.org'),
        message(6, 'too big', 'a6@example.org', body=big * 5000),
    ]))
    write(os.path.join(d, 'bert.mbox'), message(5, 'shared', 'shared@example.org') + message(2, 'beta one', 'b2@example.org'))
    write(os.path.join(d, 'notes.txt'), 'Not a mailbox.\n')
    cards = ('BEGIN:VCARD\nVERSION:3.0\nFN:Carol One\nN:One;Carol;;;\nEND:VCARD\n'
             'BEGIN:VCARD\nVERSION:3.0\nFN:Broken Card\nthis line is no property\nEND:VCARD\n'
             'BEGIN:VCARD\nVERSION:3.0\nFN:Dan Two\nN:Two;Dan;;;\nEND:VCARD\n')
    events = ('BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Brimvault//Test//EN\n'
              'BEGIN:VEVENT\nUID:e1@example.org\nDTSTAMP:20261201T000000Z\nDTSTART:20261210T090000Z\n'
              'DTEND:20261210T100000Z\nSUMMARY:Meeting one\nEND:VEVENT\n'
              'BEGIN:VEVENT\nUID:e2@example.org\nDTSTAMP:20261201T000000Z\nDTSTART:20261211T090000Z\n'
              'DTEND:20261211T100000Z\nSUMMARY:Meeting two\nEND:VEVENT\nEND:VCALENDAR\n')
    with zipfile.ZipFile(os.path.join(d, 'export.zip'), 'w') as z:
        z.writestr('mail/carl.mbox', message(1, 'carl one', 'c1@example.org') + message(2, 'carl two', 'c2@example.org'))
        z.writestr('people.vcf', cards)
        z.writestr('events.ics', events)
    return [os.path.join(d, n) for n in ('anna.mbox', 'bert.mbox', 'notes.txt', 'export.zip')]


def read_csv(path):
    with open(path, encoding='utf-8-sig', newline='') as f:
        return list(csv.DictReader(f))


def read_jsonl(path):
    with open(path, encoding='utf-8') as f:
        return [json.loads(line) for line in f]


def pypff_places(paths):
    """(store file, folder path below the top, subject) of every item, as pypff reads them."""
    out = Counter()
    for path in paths:
        f = pypff.file()
        f.open(path)

        def walk(folder, parts):
            for i in range(folder.number_of_sub_folders):
                sub = folder.get_sub_folder(i)
                p = parts + [sub.name]
                for k in range(sub.number_of_sub_messages):
                    out[(path, '/'.join(p[1:]), sub.get_sub_message(k).subject or '')] += 1
                walk(sub, p)
        walk(f.get_root_folder(), [])
        f.close()
    return out


def readpst_counts(paths, work):
    """(store file, folder path below the top) -> items, as readpst -j 0 -S writes them."""
    out = Counter()
    for path in paths:
        dest = os.path.join(work, 'readpst', os.path.basename(path))
        os.makedirs(dest)
        r = run(['readpst', '-j', '0', '-D', '-S', '-o', dest, path], text=True)
        check(r.returncode == 0, 'readpst %s: %s' % (path, r.stderr[-300:]))
        for root, _, files in os.walk(dest):
            parts = os.path.relpath(root, dest).split(os.sep)[1:]  # below the store's top folder
            items = [n for n in files if re.fullmatch(r'\d+', n)]
            if items:
                out[(path, '/'.join(parts))] += len(items)
    return out


def check_report(a, work):
    boxes = inputs(work)
    dest = os.path.join(work, 'out')
    report = os.path.join(work, 'report.csv')
    r = run([a.tool, '--to', 'pst', '--single-pst', '--max-pst-size', '300K', '--report', report, '-o', dest] + boxes,
            text=True)
    check(r.returncode == 1, 'report run: exit %d\n%s' % (r.returncode, r.stderr))
    rows = read_csv(report)
    jsonl = os.path.join(work, 'report.jsonl')
    r2 = run([a.tool, '--to', 'pst', '--single-pst', '--max-pst-size', '300K', '--report', jsonl, '-o',
              os.path.join(work, 'out2')] + boxes, text=True)
    json_rows = read_jsonl(jsonl)
    key = ('input', 'number', 'line', 'result', 'subject', 'message_id', 'reason')

    def inert(cell):  # a CSV cell as the value it holds
        return cell[1:] if cell[:1] == "'" and cell[1:2] in ('=', '+', '-', '@', '\t', '\r') else cell

    def store(text):  # the two runs' stores are named by the second each began
        return re.sub(r'/out2?/Brimvault[^/]*? \(', '/out/Brimvault (', text)
    check([tuple(store(str(x[k] if x[k] is not None else '')) for k in key) for x in json_rows] ==
          [tuple(store(inert(x[k])) for k in key) for x in rows], 'the JSON Lines report differs from the CSV one')
    check(r2.returncode == r.returncode, 'the JSON Lines run ended otherwise')

    results = Counter(x['result'] for x in rows)
    check(results == Counter({'converted': 12, 'converted with a warning': 1, 'already there': 1, 'failed': 1,
                              'not converted': 1}), 'results: %r' % results)
    by_subject = {x['subject']: x for x in rows if x['number']}
    check('\u00e9t\u00e9' in by_subject, 'the encoded subject is not decoded: %r' % list(by_subject))
    check("'=SUM(1+1)" in by_subject, 'a cell that would start a formula is not made inert')
    big = by_subject.get('too big', {})
    check(big.get('result') == 'converted with a warning' and 'store size limit' in big.get('reason', ''),
          'the oversized message: %r' % big)
    check(by_subject.get('no id', {}).get('message_id') == '', 'a message without an ID has one')
    check(by_subject.get('alpha one', {}).get('date') == '2026-12-07T08:01:00Z', 'the date: %r' % by_subject.get('alpha one'))
    failed = [x for x in rows if x['result'] == 'failed']
    check(failed and failed[0]['input'].endswith('people.vcf') and failed[0]['line'] == '9'
          and 'not a vCard property' in failed[0]['reason'], 'the broken card: %r' % failed)
    skipped = [x for x in rows if x['result'] == 'not converted']
    check(skipped and skipped[0]['input'].endswith('notes.txt') and not skipped[0]['number'],
          'the file that is no mailbox: %r' % skipped)
    there = [x for x in rows if x['result'] == 'already there']
    check(there and there[0]['input'].endswith('bert.mbox') and there[0]['subject'] == 'shared'
          and there[0]['destination'].endswith('.pst'), 'the shared message: %r' % there)
    # Offsets: each message's separator line in its mailbox.
    for x in rows:
        if x['offset'] and os.path.isfile(x['input']):
            with open(x['input'], 'rb') as f:
                f.seek(int(x['offset']))
                check(f.read(5) == b'From ', '%s message %s: offset %s is no separator' % (x['input'], x['number'], x['offset']))

    # One for one: the rows that say converted against what the readers find.
    stores = sorted(os.path.join(dest, n) for n in os.listdir(dest) if n.endswith('.pst'))
    check(len(stores) >= 2, 'no store parts: %r' % stores)
    written = Counter((x['destination'], x['folder'], x['subject'].lstrip("'")) for x in rows
                      if x['result'].startswith('converted'))
    found = pypff_places(stores)
    check(written == found, 'report and pypff differ:\nreport only %r\npypff only %r'
          % (dict(written - found), dict(found - written)))
    counts = Counter()
    for (store, folder, _), n in written.items():
        counts[(store, folder)] += n
    by_readpst = readpst_counts(stores, work)
    check(counts == by_readpst, 'report and readpst differ: %r %r' % (dict(counts - by_readpst), dict(by_readpst - counts)))


def check_killed(a, work):
    """A run killed part way: its report's rows are the first rows of the whole run's."""
    box = os.path.join(work, 'many.mbox')
    write(box, ''.join(message(i, 'many %d' % i, 'm%d@example.org' % i) for i in range(1, 40001)))
    whole = os.path.join(work, 'whole.csv')
    run([a.tool, '--to', 'eml', '--report', whole, '-o', os.path.join(work, 'whole'), box])
    killed = os.path.join(work, 'killed.csv')
    p = subprocess.Popen([a.tool, '--to', 'eml', '--report', killed, '-o', os.path.join(work, 'killed'), box],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 60
    while time.time() < deadline and (not os.path.exists(killed) or os.path.getsize(killed) < 200000):
        time.sleep(0.01)
    p.send_signal(signal.SIGKILL)
    p.wait()
    with open(killed, 'rb') as f:
        data = f.read()
    check(data.endswith(b'\r\n'), 'the killed run left half a row')
    cut, all_rows = read_csv(killed), read_csv(whole)
    key = ('input', 'number', 'offset', 'message_id', 'subject', 'result')
    check(0 < len(cut) < len(all_rows), 'killed run: %d rows of %d' % (len(cut), len(all_rows)))
    check([tuple(x[k] for k in key) for x in cut] == [tuple(x[k] for k in key) for x in all_rows[:len(cut)]],
          'the killed run\'s rows are not the first rows of the whole run')


def read_back(stdout):
    m = READ_BACK.search(stdout)
    return (int(m.group(1)), int(m.group(2))) if m else None


def check_read_back(a, work):
    d = os.path.join(work, 'modes')
    os.makedirs(d)
    anna, bert = os.path.join(d, 'anna.mbox'), os.path.join(d, 'bert.mbox')
    write(anna, ''.join(message(i, 'anna %d' % i, 'an%d@example.org' % i, 'Inbox,Work' if i % 2 else 'Family',
                                body='Text %d.\n' % i * (1 + i * 40)) for i in range(1, 61)))
    write(bert, ''.join(message(i, 'bert %d' % i, 'be%d@example.org' % i, 'Sent') for i in range(1, 21)))
    modes = {
        'per mailbox': [],
        'single': ['--single-pst'],
        'parts': ['--single-pst', '--max-pst-size', '400K'],
        'by label': ['--by-label', '--max-pst-size', '400K'],
    }
    for name, options in modes.items():
        dest = os.path.join(work, 'mode-' + name.replace(' ', '-'))
        r = run([a.tool, '--to', 'pst'] + options + ['-o', dest, anna, bert], text=True)
        check(r.returncode == 0 and read_back(r.stdout) and read_back(r.stdout)[0] == 80,
              '%s: exit %d, %s %s' % (name, r.returncode, r.stdout, r.stderr[-500:]))
        stores = sorted(os.path.join(dest, n) for n in os.listdir(dest))
        v = run([a.tool, '--verify'] + stores, text=True)
        check(v.returncode == 0 and read_back(v.stdout) == read_back(r.stdout),
              '%s: --verify exit %d: %s %s' % (name, v.returncode, v.stdout, v.stderr[-500:]))
    # Added to: a third mailbox into the store of the single run.
    dest = os.path.join(work, 'mode-single')
    carl = os.path.join(d, 'carl.mbox')
    write(carl, ''.join(message(i, 'carl %d' % i, 'ca%d@example.org' % i) for i in range(1, 11)))
    r = run([a.tool, '--to', 'pst', '--single-pst', '-o', dest, carl], text=True)
    check(r.returncode == 0 and read_back(r.stdout), 'added to: exit %d, %s %s' % (r.returncode, r.stdout, r.stderr))

    # Altered behind the store's back: an item removed, the file cut short.
    store = os.path.join(work, 'mode-per-mailbox', 'anna.pst')
    removed = os.path.join(work, 'removed.pst')
    shutil.copy(store, removed)
    r = run([a.tool_write, 'remove', removed], text=True)
    check(r.returncode == 0, 'pst_write_tool remove: %s' % r.stderr)
    v = run([a.tool, '--verify', removed], text=True)
    check(v.returncode == 1 and 'missing' in v.stderr and 'read back' in v.stdout and ', as written' not in v.stdout,
          'an item removed: exit %d, %s %s' % (v.returncode, v.stdout, v.stderr))
    cut = os.path.join(work, 'cut.pst')
    with open(store, 'rb') as f:
        data = f.read()
    with open(cut, 'wb') as f:
        f.write(data[:len(data) * 2 // 3])
    v = run([a.tool, '--verify', cut], text=True)
    check(v.returncode == 1 and 'differs: ' + cut in v.stderr, 'a store cut short: exit %d, %s' % (v.returncode, v.stderr))
    v = run([a.tool, '--verify', store, cut], text=True)
    check(v.returncode == 1, 'a good store and one cut short: exit %d' % v.returncode)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True, help='brimvault-convert')
    ap.add_argument('--tool-write', required=True, dest='tool_write', help='pst_write_tool')
    ap.add_argument('--work', required=True)
    a = ap.parse_args()
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    check_report(a, a.work)
    check_read_back(a, a.work)
    check_killed(a, a.work)
    code = finish()
    if code == 0:
        shutil.rmtree(a.work, ignore_errors=True)
    return code


if __name__ == '__main__':
    sys.exit(main())
