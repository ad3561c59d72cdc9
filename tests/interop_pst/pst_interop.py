#!/usr/bin/env python3
"""Interop test of the .pst writer: stores written by pst_write_tool and brimvault-convert
are read back by pffinfo/pffexport (pff-tools), readpst/lspst (pst-utils), pypff,
pst-extractor (JavaScript, tests/readers), our own reader (pstdump.py) and pst-validate,
and compared with Outlook-made stores of the corpus.

Run by ctest (interop_pst_readers); needs the distribution's python3 with pypff."""
import argparse
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import datetime
import json

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
import pstdump  # noqa: E402
from interop_common import FAILURES, KEYWORDS, check, multi_unicode, named_ids, run  # noqa: E402,F401

try:
    import pypff
except ImportError:  # pragma: no cover
    pypff = None

PR_SUBJECT = 0x0037001F
PR_MESSAGE_FLAGS = 0x0E070003
PR_MESSAGE_SIZE = 0x0E080003
PR_DISPLAY_NAME = 0x3001001F
PR_CONTENT_COUNT = 0x36020003
PR_CONTENT_UNREAD = 0x36030003
PR_SUBFOLDERS = 0x360A000B

BASE_TIME = 1700000000


def pattern(n, seed):
    """Same byte pattern as Pattern() in pst_write_tool.cpp."""
    x = (seed * 2654435761 + 1) & 0xFFFFFFFF
    out = bytearray(n)
    for i in range(n):
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out[i] = (x >> 16) & 0xFF
    return bytes(out)


def sha(path):
    with open(path, 'rb') as f:
        return hashlib.sha256(f.read()).hexdigest()


# Expected content of the "basic" store (see WriteBasic in pst_write_tool.cpp).
INBOX = ['Plain message', 'With attachments', 'Carrier of an embedded message',
         'Two hundred recipients', 'Unread \u00fcnicode \u20ac message']
LONG_SUBJECT = 'Long subject ' + 'x' * (2000 - len('Long subject '))
SUB = ['Sub message 0', 'Sub message 1', 'Sub message 2', LONG_SUBJECT]
ARCHIVE = ['Archived message', 'Four hundred attachments']
MSG_NUMBER = {'Plain message': 1, 'With attachments': 2, 'Carrier of an embedded message': 3,
              'Two hundred recipients': 4, 'Unread \u00fcnicode \u20ac message': 5,
              'Sub message 0': 10, 'Sub message 1': 11, 'Sub message 2': 12, 'Archived message': 20,
              'Four hundred attachments': 21, LONG_SUBJECT: 13}
ATTACHMENTS = {'hello.txt': b'hello attachment\n', 'data.bin': pattern(10000, 2),
               'big.bin': pattern(5 * 1024 * 1024 + 123, 3)}


# ---- every reader finds every message --------------------------------------------------

class JsReaders:
    """pst-extractor from tests/readers. Skipped (with a message) only when node is absent."""

    def __init__(self, node_modules):
        self.node_modules = node_modules
        self.script = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                   'readers', 'pst_extractor_dump.js')
        self.available = shutil.which('node') is not None
        if not self.available:
            print('SKIP: node is not installed: the pst-extractor checks are skipped')
        elif not node_modules or not os.path.isdir(os.path.join(node_modules, 'pst-extractor')):
            check(False, 'pst-extractor is not installed in %s: run scripts/install-deps.sh' % node_modules)
            self.available = False

    def read(self, path):
        """pst-extractor's summary of one store (one process per store: the reader keeps
        its name-to-ID map in a static), or None when it cannot run."""
        if not self.available:
            return None
        try:
            r = run(['node', self.script, path], env=dict(os.environ, NODE_PATH=self.node_modules), timeout=300)
        except subprocess.TimeoutExpired:
            return {'exception': 'pst-extractor did not finish in 300 s'}
        if r.returncode != 0:
            return {'exception': r.stderr.decode('utf-8', 'replace')[:500]}
        return json.loads(r.stdout)[path]


def message_nodes(path):
    """Message nodes in the NBT by folder NID (messages of folders, not embedded ones)."""
    p = pstdump.Pst(path)
    by_folder = {}
    for nid, (bd, bs, parent) in p.nbt.items():
        if nid & 0x1F == 0x04:
            by_folder[parent] = by_folder.get(parent, 0) + 1
    return by_folder


def readpst_count(path, out_dir):
    """Messages readpst writes (one file each with -M), in its serial mode, and the
    items it reports skipped."""
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    r = run(['readpst', '-j', '0', '-D', '-M', '-o', out_dir, path])
    log = r.stdout.decode('utf-8', 'replace')
    files = sum(len(fs) for _, _, fs in os.walk(out_dir))
    skipped = sum(int(n) for n in re.findall(r'(\d+) items skipped', log))
    shutil.rmtree(out_dir, ignore_errors=True)
    return files if r.returncode == 0 else -1, skipped


def pffexport_count(path, out_base):
    """Items pffexport writes (folders' items; attachments' embedded items not counted)."""
    shutil.rmtree(out_base + '.export', ignore_errors=True)
    r = run(['pffexport', '-q', '-t', out_base, path])
    n = 0
    for dirpath, dirs, _ in os.walk(out_base + '.export'):
        if '/Attachments' in dirpath:
            continue
        n += sum(1 for d in dirs if re.fullmatch(r'(Message|Contact|Appointment|Task|Note|Meeting|Activity|DistributionList|Item)\d{5}', d))
    shutil.rmtree(out_base + '.export', ignore_errors=True)
    return n if r.returncode == 0 else -1


def extractor_count(summary):
    return sum(len(f['messages']) for f in summary.get('folders', []))


def reader_counts(path, work, js):
    """How many folder messages each reader finds (-1: the reader failed)."""
    name = os.path.basename(path)
    counts = {'nbt': sum(message_nodes(path).values())}
    r = run(['pffinfo', path])
    counts['pffinfo'] = 0 if r.returncode == 0 and b'Unable' not in r.stdout + r.stderr else -1
    counts['pffexport'] = pffexport_count(path, os.path.join(work, 'pffexport-' + name))
    counts['readpst'], counts['readpst skipped'] = readpst_count(path, os.path.join(work, 'readpst-' + name))
    try:
        f, tree = pypff_tree(path)
        counts['pypff'] = sum(len(v) for v in tree.values())
        subjects = sorted(m.subject or '' for v in tree.values() for m in v)
        f.close()
    except IOError:
        counts['pypff'] = -1
    summary = js.read(path)
    if summary is not None:
        failed = [line for line in summary.get('logged', []) if 'Exception' in line or 'Error' in line]
        counts['pst-extractor'] = -1 if 'exception' in summary or failed else extractor_count(summary)
        if counts['pst-extractor'] < 0:
            print('pst-extractor on %s: %s %r' % (name, summary.get('exception', '')[:300], failed[:3]))
        elif counts['pypff'] >= 0:
            theirs = sorted(m['subject'] or '' for fo in summary['folders'] for m in fo['messages'])
            counts['pst-extractor subjects unlike pypff'] = len(set(theirs) ^ set(subjects))
    return counts, summary


def check_every_reader(path, work, js, validate=None, before=None, added=0):
    """Every message node of a store we wrote is found by pffinfo, pffexport, readpst,
    pypff, pst-extractor and pst-validate. For an Outlook-made store we appended to,
    `before` = (reader counts, validator findings) of the original: every reader finds
    what it found there plus the `added` messages, and the validator nothing new.
    Returns pst-extractor's summary."""
    name = os.path.basename(path)
    counts, summary = reader_counts(path, work, js)
    if before is None:
        check_validator(validate, path)
        want = {k: (0 if k in ('pffinfo', 'readpst skipped') or 'unlike' in k else counts['nbt']) for k in counts}
    else:
        then, findings = before
        if validate:
            after = validator_codes(validate, path)
            check(after <= findings, '%s: new validator findings %r' % (name, sorted(after - findings)))
        # (a reader that failed on the original may do anything on the copy)
        want = {k: (v if k in ('pffinfo', 'readpst skipped') or 'unlike' in k else v + added)
                for k, v in then.items() if v >= 0}
        counts = {k: v for k, v in counts.items() if k in want}
        check(counts['nbt'] == then['nbt'] + added, '%s: %d message nodes, %d before' % (name, counts['nbt'], then['nbt']))
    print('%s: %s' % (name, ', '.join('%s %d' % kv for kv in counts.items())))
    wrong = {k: (v, want.get(k)) for k, v in counts.items() if v != want.get(k)}
    check(not wrong, '%s: readers find (found, expected): %r' % (name, wrong))
    return summary


# ---- categories: the string-named property "Keywords" (PS_PUBLIC_STRINGS, PT_MV_UNICODE) --

def keywords_id(path):
    """The property id of Keywords in the store's name-to-ID map, read with pstdump."""
    return named_ids(path).get(KEYWORDS)


def check_keywords(path, work, subject, want, js_summary=None, readpst_log=False):
    """The categories of message `subject` as pypff, pffexport, pst-extractor and (on
    small stores: its debug log) readpst read them."""
    name = os.path.basename(path)
    kid = keywords_id(path)
    if not check(kid is not None, '%s: Keywords is not in the name-to-ID map' % name):
        return
    # pypff: the value under the map's id.
    f, tree = pypff_tree(path)
    got = None
    for msgs in tree.values():
        for m in msgs:
            if m.subject == subject:
                for e in m.get_record_set(0).entries:
                    if e.entry_type == kid and e.value_type == 0x101F:
                        got = multi_unicode(e.data)
    f.close()
    check(got == want, '%s: pypff reads categories %r, expected %r' % (name, got, want))
    # pffexport: the item values name the entry after the map.
    base = os.path.join(work, 'pffexport-kw-' + name)
    shutil.rmtree(base + '.export', ignore_errors=True)
    run(['pffexport', '-q', '-d', '-t', base, path])
    found = []
    for dirpath, _, files in os.walk(base + '.export'):
        if 'ItemValues.txt' not in files or '/Attachments' in dirpath:
            continue
        with open(os.path.join(dirpath, 'ItemValues.txt'), encoding='utf-8', errors='replace') as fh:
            text = fh.read()
        for m in re.finditer(r'Maps to entry:\s+Keywords\nValue:\n((?:0x[0-9a-f]{8}: .*\n)+)', text):
            raw = bytes.fromhex(''.join(line[12:60].replace(' ', '') for line in m.group(1).splitlines()))
            found.append(multi_unicode(raw))
    shutil.rmtree(base + '.export', ignore_errors=True)
    check(want in found, '%s: pffexport shows categories %r, expected %r among them' % (name, found, want))
    if js_summary is not None and 'folders' in js_summary:
        got = [m['named'].get('Keywords') for fo in js_summary['folders'] for m in fo['messages'] if m['subject'] == subject]
        check(got == [want], '%s: pst-extractor reads categories %r, expected %r' % (name, got, [want]))
    if readpst_log:
        log = os.path.join(work, 'readpst-kw.log')
        out = os.path.join(work, 'readpst-kw')
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        run(['readpst', '-j', '0', '-d', log, '-L', '1', '-o', out, path])
        with open(log, encoding='utf-8', errors='replace') as fh:
            text = fh.read()
        os.remove(log)
        shutil.rmtree(out, ignore_errors=True)
        check('Mapped attribute %#x to Keywords' % kid in text, '%s: readpst does not map %#x to Keywords' % (name, kid))
        check('type=%#x, ref_type=0x101f' % kid in text, '%s: readpst does not read the categories of %r' % (name, subject))


# ---- brimvault-convert: each store mode, and appending to Outlook-made stores ----------

def write_mailbox(path, tag, n=3):
    """An mbox of `n` messages: plain text, HTML with an attachment, labels."""
    parts = []
    for i in range(n):
        head = ('From sender@example.org Mon Dec  7 08:%02d:00 2026\n'
                'From: Sender <sender@example.org>\nTo: Receiver <receiver@example.net>\n'
                'Subject: %s message %d\nDate: Mon, 07 Dec 2026 08:%02d:00 +0000\n'
                'Message-ID: <%s.%d@example.org>\nX-Brimvault-Labels: Inbox,Important\nMIME-Version: 1.0\n' % (i, tag, i, i, tag, i))
        if i % 3 == 1:
            body = ('Content-Type: multipart/mixed; boundary="b"\n\n--b\nContent-Type: text/html; charset=utf-8\n\n'
                    '<p>HTML %d</p>\n--b\nContent-Type: application/octet-stream; name="a.bin"\n'
                    'Content-Disposition: attachment; filename="a.bin"\nContent-Transfer-Encoding: base64\n\n'
                    'AAECAwQFBgcICQ==\n--b--\n' % i)
        else:
            body = 'Content-Type: text/plain; charset=utf-8\n\nPlain body %d\n' % i
        parts.append(head + body + '\n')
    with open(path, 'w', encoding='utf-8') as f:
        f.write(''.join(parts))


def convert(tool, out_dir, mailboxes, single=False):
    cmd = [tool, '--to', 'pst'] + (['--single-pst'] if single else []) + ['-o', out_dir] + mailboxes
    r = run(cmd)
    check(r.returncode == 0, '%s: %s %s' % (' '.join(cmd), r.stdout.decode('utf-8', 'replace'), r.stderr.decode('utf-8', 'replace')))
    return sorted(os.path.join(out_dir, n) for n in os.listdir(out_dir) if n.endswith('.pst'))


def check_convert(a, js):
    """Stores of each mode of brimvault-convert, and Outlook-made corpus stores that a
    conversion appends to, read by every reader."""
    base = os.path.join(a.work, 'convert')
    inputs = os.path.join(base, 'in')
    os.makedirs(inputs)
    boxes = []
    for tag in ('alpha', 'beta'):
        boxes.append(os.path.join(inputs, tag + '.mbox'))
        write_mailbox(boxes[-1], tag)
    for single in (False, True):
        out = os.path.join(base, 'single' if single else 'per-mailbox')
        stores = convert(a.convert, out, boxes, single)
        check(len(stores) == (1 if single else 2), 'convert (single %s) wrote %r' % (single, stores))
        for store in stores:
            check_every_reader(store, a.work, js, a.validate)
    # Appending: the conversion's store for mailbox X is X.pst in the destination; when
    # an Outlook-made store is there already, the conversion adds to it.
    for dirpath, _, files in os.walk(os.path.join(a.corpus, 'pst')):
        for fn in sorted(files):
            src = os.path.join(dirpath, fn)
            try:
                pstdump.Pst(src)
            except ValueError:
                continue  # ANSI stores are not opened for appending
            stem = os.path.splitext(fn)[0]
            out = os.path.join(base, 'append-' + stem)
            os.makedirs(out)
            dst = os.path.join(out, fn)
            shutil.copy(src, dst)
            before = (reader_counts(dst, a.work, js)[0], validator_codes(a.validate, dst))
            box = os.path.join(inputs, stem + '.mbox')
            write_mailbox(box, stem)
            convert(a.convert, out, [box])
            check_every_reader(dst, a.work, js, a.validate, before, added=3)


def check_no_partial(work):
    left = [n for n in os.listdir(work) if '.partial-' in n]
    check(not left, 'temporary store files left behind: %r' % left)


def check_validator(validate, path):
    if not validate:
        return
    r = run([validate, path])
    out = r.stdout.decode('utf-8', 'replace')
    check(r.returncode == 0 and ' 0 error(s), 0 warning(s)' in out,
          'pst-validate %s:\n%s%s' % (path, out, r.stderr.decode('utf-8', 'replace')))


def validator_codes(validate, path):
    """The (severity, code, node) of every pst-validate finding."""
    if not validate:
        return set()
    out = run([validate, path]).stdout.decode('utf-8', 'replace')
    codes = set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 4 and parts[0] in ('error', 'warning'):
            codes.add((parts[0], parts[1], parts[3]))
    return codes


def check_pffinfo(path):
    r = run(['pffinfo', path])
    err = r.stderr.decode('utf-8', 'replace')
    out = r.stdout.decode('utf-8', 'replace')
    check(r.returncode == 0 and 'Unable' not in out + err and 'error' not in err.lower(),
          'pffinfo %s failed: %s %s' % (path, out, err))
    check('Subtree, Wastbox, Finder' in out, 'pffinfo: message store folders mask not reported: ' + out)


# ---- pypff --------------------------------------------------------------------------

def pypff_tree(path):
    f = pypff.file()
    f.open(path)
    tree = {}

    def walk(folder, prefix):
        for i in range(folder.get_number_of_sub_folders()):
            sub = folder.get_sub_folder(i)
            name = sub.name
            p = prefix + '/' + name
            msgs = [sub.get_sub_message(k) for k in range(sub.get_number_of_sub_messages())]
            tree[p] = msgs
            walk(sub, p)
    walk(f.get_root_folder(), '')
    return f, tree


def check_pypff_basic(path):
    f, tree = pypff_tree(path)
    for folder in ['/Top of Personal Folders', '/Top of Personal Folders/Deleted Items', '/Search Root',
                   '/SPAM Search Folder 2', '/Top of Personal Folders/Inbox',
                   '/Top of Personal Folders/Inbox/Sub Folder', '/Top of Personal Folders/Archive 2024']:
        check(folder in tree, 'pypff: folder %s missing (have %r)' % (folder, sorted(tree)))
    expect = {'/Top of Personal Folders/Inbox': INBOX, '/Top of Personal Folders/Inbox/Sub Folder': SUB,
              '/Top of Personal Folders/Archive 2024': ARCHIVE}
    for folder, subjects in expect.items():
        msgs = tree.get(folder, [])
        check(sorted(m.subject for m in msgs) == sorted(subjects),
              'pypff: subjects of %s: %r' % (folder, [m.subject for m in msgs]))
        for m in msgs:
            n = MSG_NUMBER.get(m.subject)
            if n is None:
                continue
            check(m.sender_name == 'Alice Sender', 'pypff: sender of %s: %r' % (m.subject, m.sender_name))
            want_submit = datetime.datetime.utcfromtimestamp(BASE_TIME + n * 60)
            check(m.client_submit_time == want_submit,
                  'pypff: submit time of %s: %s' % (m.subject, m.client_submit_time))
            check(m.delivery_time == want_submit + datetime.timedelta(seconds=5),
                  'pypff: delivery time of %s: %s' % (m.subject, m.delivery_time))
            body = m.plain_text_body or b''
            if n == 5:
                check(body.count(b'of a long body.') == 400, 'pypff: long body of message 5 (%d bytes)' % len(body))
            elif n == 20:
                check(body == b'', 'pypff: message 20 has no body: %r' % body)
            else:
                check(body == ('Plain body of message %d.\r\n' % n).encode(), 'pypff: body of %s: %r' % (m.subject, body))
            natt = m.get_number_of_attachments()
            check(natt == {2: 3, 3: 1, 21: 400}.get(n, 0), 'pypff: %s has %d attachments' % (m.subject, natt))
            if n == 21 and natt == 400:
                # Past 340 subnodes the message's subnode tree needs an SIBLOCK.
                a = m.get_attachment(399)
                check(a.read_buffer(a.get_size()) == b'attachment 399\n', 'pypff: attachment 400 of 400')
            if n == 2:
                check(m.html_body == b'<html><body><p>HTML body of message 2</p></body></html>',
                      'pypff: HTML body %r' % m.html_body)
                sizes = sorted(m.get_attachment(i).get_size() for i in range(natt))
                check(sizes == sorted(len(v) for v in ATTACHMENTS.values()), 'pypff: attachment sizes %r' % sizes)
                for i in range(natt):
                    a = m.get_attachment(i)
                    data = a.read_buffer(a.get_size())
                    check(data in ATTACHMENTS.values(), 'pypff: attachment %d bytes differ' % i)
    f.close()


# ---- pffexport ----------------------------------------------------------------------

def check_pffexport_basic(path, work):
    target = os.path.join(work, 'pffexport')
    shutil.rmtree(target + '.export', ignore_errors=True)
    r = run(['pffexport', '-q', '-t', target, path])
    out = (r.stdout + r.stderr).decode('utf-8', 'replace')
    check(r.returncode == 0 and 'unable' not in out.lower() and 'error' not in out.lower(),
          'pffexport failed: ' + out)
    root = target + '.export'
    check(not os.path.isdir(os.path.join(root, 'Orphans')) and not os.path.isdir(os.path.join(root, 'Recovered')),
          'pffexport found orphan or recovered items')
    inbox = os.path.join(root, 'Top of Personal Folders', 'Inbox')
    check(os.path.isdir(os.path.join(root, 'Top of Personal Folders', 'Deleted Items')), 'pffexport: Deleted Items missing')
    found = {}
    for name in sorted(os.listdir(inbox)):
        if not name.startswith('Message'):
            continue
        with open(os.path.join(inbox, name, 'OutlookHeaders.txt'), encoding='utf-8', errors='replace') as fh:
            headers = fh.read()
        m = re.search(r'^Subject:\s*(.*)$', headers, re.M)
        subject = m.group(1).strip() if m else None
        found[subject] = (os.path.join(inbox, name), headers)
    check(sorted(found) == sorted(INBOX), 'pffexport: Inbox subjects %r' % sorted(found))
    for subject, (d, headers) in found.items():
        n = MSG_NUMBER[subject]
        flags = re.search(r'^Flags:\s*(0x[0-9a-fA-F]+)', headers, re.M)
        flags = int(flags.group(1), 16) if flags else -1
        check(bool(flags & 1) == (n != 5), 'pffexport: read flag of %s: %#x' % (subject, flags))
        check(bool(flags & 0x10) == (n in (2, 3)), 'pffexport: has-attachment flag of %s: %#x' % (subject, flags))
        with open(os.path.join(d, 'Recipients.txt'), encoding='utf-8', errors='replace') as fh:
            recips = fh.read()
        want = 200 if n == 4 else 2
        check(recips.count('Display name:') == want, 'pffexport: %s has %d recipients' % (subject, recips.count('Display name:')))
        if n == 4:
            check('r199@example.com' in recips and 'Recipient 0\n' in recips, 'pffexport: 200 recipients content')
        if n == 2:
            att = os.path.join(d, 'Attachments')
            names = sorted(os.listdir(att))
            check(names == ['1_hello.txt', '2_data.bin', '3_big.bin'], 'pffexport: attachment names %r' % names)
            for fn in names:
                with open(os.path.join(att, fn), 'rb') as fh:
                    check(fh.read() == ATTACHMENTS[fn.split('_', 1)[1]], 'pffexport: bytes of %s' % fn)
        if n == 3:
            inner = os.path.join(d, 'Attachments', 'Attachment00001', 'Message00001')
            check(os.path.isdir(inner), 'pffexport: embedded message missing')
            if os.path.isdir(inner):
                with open(os.path.join(inner, 'OutlookHeaders.txt'), encoding='utf-8') as fh:
                    check('Subject:\t\t\t\tInner message' in fh.read() or 'Inner message' in open(
                        os.path.join(inner, 'OutlookHeaders.txt'), encoding='utf-8').read(),
                        'pffexport: embedded subject')
                p = os.path.join(inner, 'Attachments', '1_inner.txt')
                check(os.path.isfile(p) and open(p, 'rb').read() == b'inner attachment\n',
                      'pffexport: attachment of the embedded message')


# ---- readpst / lspst ----------------------------------------------------------------

def check_readpst_basic(path, work):
    out_dir = os.path.join(work, 'readpst')
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    r = run(['readpst', '-j', '0', '-D', '-M', '-o', out_dir, path])
    log = (r.stdout + r.stderr).decode('utf-8', 'replace')
    check(r.returncode == 0 and 'error' not in log.lower() and 'warn' not in log.lower(), 'readpst failed: ' + log)
    check('0 items skipped' in log and 'skipped' not in log.replace('0 items skipped', ''), 'readpst skipped items: ' + log)
    store = os.path.join(out_dir, 'Brimvault Test Store')
    inbox = os.path.join(store, 'Inbox')
    msgs = {}
    if os.path.isdir(inbox):
        for name in os.listdir(inbox):
            p = os.path.join(inbox, name)
            if os.path.isfile(p):
                with open(p, encoding='utf-8', errors='replace') as fh:
                    text = fh.read()
                m = re.search(r'^Subject: (.*)$', text, re.M)
                msgs[m.group(1) if m else name] = text
    check(len(msgs) == 5, 'readpst: Inbox has %d messages: %r' % (len(msgs), sorted(msgs)))
    sub = os.path.join(inbox, 'Sub Folder')
    check(os.path.isdir(sub) and len(os.listdir(sub)) == 4, 'readpst: Sub Folder')
    check(os.path.isdir(os.path.join(store, 'Archive 2024')), 'readpst: Archive 2024')
    for subject, text in msgs.items():
        n = MSG_NUMBER.get(subject)
        if subject.startswith('=?'):
            n = 5
        check(n is not None, 'readpst: unexpected subject %r' % subject)
        head = text.split('\n\n', 1)[0]
        check('Message-Id: <msg%d@example.org>' % n in head, 'readpst: Message-Id of %s' % subject)
        check('From: "Alice Sender" <alice@example.org>' in head, 'readpst: From of %s' % subject)
        check(('Status: RO' in head) == (n != 5), 'readpst: read status of %s' % subject)
        if n == 4:
            to = re.search(r'^To: (.*(?:\n[ \t].*)*)', head, re.M)
            check(to is not None and to.group(1).count('Recipient ') == 150, 'readpst: To of the 200-recipient message')
        if n == 2:
            check('text/html' in text and 'HTML body of message 2' in text, 'readpst: HTML body')
            for fn in ATTACHMENTS:
                check('filename="%s"' % fn in text, 'readpst: attachment %s' % fn)
        if n == 3:
            check('message/rfc822' in text and 'Subject: Inner message' in text and 'filename="inner.txt"' in text,
                  'readpst: embedded message')
    r = run(['lspst', path])
    out = r.stdout.decode('utf-8', 'replace')
    check(r.returncode == 0, 'lspst failed')
    for s in INBOX + SUB + ARCHIVE:
        check('Subject: ' + s in out, 'lspst: %s missing' % s)


# ---- our own reader: table and count consistency -------------------------------------

def message_data_bytes(p, node):
    total = sum(len(b) for b in node.blocks)

    def subs(sdict):
        t = 0
        for nid, (bd, bs) in sdict.items():
            t += sum(len(b) for b in p.data_blocks(bd))
            t += subs(p.subnodes(bs))
        return t
    return total + subs(node.subs)


def check_consistency(path):
    p = pstdump.Pst(path)
    folders = {nid: v for nid, v in p.nbt.items() if nid & 0x1F in (2, 3)}
    pcs = {nid: pstdump.read_pc(p, pstdump.node_of(p, nid)) for nid in folders}
    messages = {nid: v for nid, v in p.nbt.items() if nid & 0x1F == 4}
    children = {}
    for nid, (bd, bs, parent) in folders.items():
        if parent != nid:
            children.setdefault(parent, []).append(nid)
    for nid, props in pcs.items():
        for tag in (PR_DISPLAY_NAME, PR_CONTENT_COUNT, PR_CONTENT_UNREAD, PR_SUBFOLDERS):
            check(tag in props or (tag == PR_DISPLAY_NAME and nid == 0x122), 'folder %#x lacks %08x' % (nid, tag))
        if nid & 0x1F == 3:
            continue
        hier = pstdump.read_tc(p, pstdump.node_of(p, (nid & ~0x1F) | 0xD))[1]
        cont = pstdump.read_tc(p, pstdump.node_of(p, (nid & ~0x1F) | 0xE))[1]
        kids = sorted(children.get(nid, []))
        check(sorted(r for r, _ in hier) == kids, 'hierarchy rows of %#x: %r vs %r' % (nid, [r for r, _ in hier], kids))
        check(props.get(PR_SUBFOLDERS) == (b'\x01' if kids else b'\x00'), 'PidTagSubfolders of %#x' % nid)
        for rowid, row in hier:
            child = pcs[rowid]
            for tag in (PR_DISPLAY_NAME, PR_CONTENT_COUNT, PR_CONTENT_UNREAD, PR_SUBFOLDERS):
                check(row.get(tag, b'') == child.get(tag, b''), 'hierarchy row %#x of %#x, column %08x' % (rowid, nid, tag))
        mine = sorted(m for m, v in messages.items() if v[2] == nid)
        check(sorted(r for r, _ in cont) == mine, 'contents rows of %#x: %d rows, %d messages' % (nid, len(cont), len(mine)))
        check(struct.unpack('<I', props[PR_CONTENT_COUNT])[0] == len(mine), 'PidTagContentCount of %#x' % nid)
        unread = 0
        for rowid, row in cont:
            node = pstdump.node_of(p, rowid)
            mp = pstdump.read_pc(p, node)
            for tag, value in row.items():
                if tag in (0x67F20003, 0x67F30003):
                    continue
                check(mp.get(tag) == value, 'contents row %#x column %08x differs from the message' % (rowid, tag))
            flags = struct.unpack('<I', mp[PR_MESSAGE_FLAGS])[0]
            unread += 0 if flags & 1 else 1
            check(bool(flags & 0x10) == (0x671 in node.subs), 'has-attachment flag of %#x vs its attachment table' % rowid)
            check(0x692 in node.subs, 'message %#x has no recipient table' % rowid)
            for computed in (0x0FFF0102, 0x0E1D001F, 0x0E1B000B, 0x0FF90102):
                check(computed not in mp, 'message %#x stores computed property %08x' % (rowid, computed))
            size = struct.unpack('<I', mp[PR_MESSAGE_SIZE])[0]
            check(size == message_data_bytes(p, node), 'PidTagMessageSize of %#x: %d vs %d' % (rowid, size, message_data_bytes(p, node)))
            for tag in (0x001A001F, 0x0E170003, 0x30070040, 0x30080040, 0x300B0102):
                check(tag in mp, 'message %#x lacks required %08x' % (rowid, tag))
        check(struct.unpack('<I', props[PR_CONTENT_UNREAD])[0] == unread, 'PidTagContentUnreadCount of %#x' % nid)
    return p


MANDATORY = [0x21, 0x61, 0x122, 0x12D, 0x12E, 0x12F, 0x1E1, 0x201, 0x60D, 0x60E, 0x60F, 0x610, 0x671, 0x692,
             0x2223, 0x8022, 0x802D, 0x802E, 0x802F, 0x8042, 0x804D, 0x804E, 0x804F, 0x8062, 0x806D, 0x806E, 0x806F]
STORE_PROPS = [0x0FF90102, 0x3001001F, 0x35E00102, 0x35E30102, 0x35E70102]
FOLDER_PROPS = [0x3001001F, 0x36020003, 0x36030003, 0x360A000B]


def check_against_corpus(ours, corpus):
    mine = pstdump.Pst(ours)
    for nid in MANDATORY:
        check(nid in mine.nbt, 'our store lacks mandatory node %#x' % nid)
    store = pstdump.read_pc(mine, pstdump.node_of(mine, 0x21))
    for tag in STORE_PROPS:
        check(tag in store, 'our message store lacks %08x' % tag)
    seen = 0
    union = {}
    for dirpath, _, files in os.walk(os.path.join(corpus, 'pst')):
        for fn in files:
            path = os.path.join(dirpath, fn)
            try:
                ref = pstdump.Pst(path)
            except ValueError:
                continue  # ANSI store
            seen += 1
            kinds_ref = {nid & 0x1F for nid in ref.nbt}
            kinds_ours = {nid & 0x1F for nid in mine.nbt}
            missing = {k for k in kinds_ours - kinds_ref}
            check(not missing, '%s: we write node kinds Outlook does not: %r' % (fn, missing))
            for nid in MANDATORY:
                if nid in ref.nbt and nid not in (0x2223,):
                    check(nid in mine.nbt, '%s has %#x, we do not' % (fn, nid))
            rstore = pstdump.read_pc(ref, pstdump.node_of(ref, 0x21))
            for tag in STORE_PROPS:
                check(tag in rstore, '%s: Outlook store lacks %08x (our list of mandatory properties is wrong)' % (fn, tag))
            for nid in (0x8022, 0x8062):
                if nid in ref.nbt:
                    rp = pstdump.read_pc(ref, pstdump.node_of(ref, nid))
                    op = pstdump.read_pc(mine, pstdump.node_of(mine, nid))
                    for tag in FOLDER_PROPS:
                        check((tag in rp) == (tag in op), '%s folder %#x: property %08x differs in presence' % (fn, nid, tag))
            for tnid in (0x60D, 0x60E, 0x60F, 0x610, 0x692, 0x671):
                union.setdefault(tnid, set()).update(c[0] for c in pstdump.read_tc(ref, pstdump.node_of(ref, tnid))[0])
    check(seen >= 3, 'too few Unicode corpus stores (%d)' % seen)
    for tnid, rcols in union.items():
        ocols = {c[0] for c in pstdump.read_tc(mine, pstdump.node_of(mine, tnid))[0]}
        check(ocols <= rcols, 'template %#x: we have columns no Outlook store has: %s' % (
            tnid, ' '.join('%08x' % c for c in sorted(ocols - rcols))))


def check_one_folder(a):
    """Many messages in one folder (B-trees of four levels, a contents table over a
    hundred heap blocks with bitmap headers, an indexed row index and a row matrix under
    an XBLOCK), written, then appended to: whole after each step."""
    one = os.path.join(a.work, 'one.pst')
    folder = '/Top of Personal Folders/One Folder'
    total = 0
    for count in (a.one, a.one // 4):
        r = run([a.tool, 'one', one, str(count), str(total)])
        check(r.returncode == 0, 'one folder (%d from %d): %s' % (count, total, r.stderr.decode()))
        total += count
        check_no_partial(a.work)
        check_validator(a.validate, one)
        f, tree = pypff_tree(one)
        subjects = [m.subject for m in tree.get(folder, [])]
        f.close()
        check(sorted(subjects) == sorted('One message %d' % i for i in range(total)),
              'pypff: the one folder holds %d messages, %d distinct, of %d' % (len(subjects), len(set(subjects)), total))
    check_pffinfo(one)
    p = check_consistency(one)
    check(sum(1 for nid in p.nbt if nid & 0x1F == 4) == total, 'one folder: %d message nodes' % total)
    out_dir = os.path.join(a.work, 'readpst-one')
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    r = run(['readpst', '-j', '0', '-D', '-M', '-o', out_dir, one])
    log = r.stdout.decode('utf-8', 'replace')
    check(r.returncode == 0 and '"One Folder" - %d items done, 0 items skipped' % total in log, 'readpst on one folder: ' + log)
    shutil.rmtree(out_dir, ignore_errors=True)


def scale(a):
    """Opt-in (BV_PST_SCALE_TESTS=1): 100,000 messages, and a store past 4 GB."""
    if os.environ.get('BV_PST_SCALE_TESTS') != '1':
        print('scale tests skipped; set BV_PST_SCALE_TESTS=1 to run them')
        return 77
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    many = os.path.join(a.work, 'many100k.pst')
    r = run([a.tool, 'many', many, '100000'])
    check(r.returncode == 0, 'many 100000: ' + r.stderr.decode())
    check_validator(a.validate, many)
    # (pffinfo walks every item of a store this size for minutes; lspst and our own
    # reader cover it instead.)
    r = run(['lspst', many])
    check(r.returncode == 0 and r.stdout.count(b'Subject: Bulk message') == 100000, 'lspst on 100,000 messages')
    p = check_consistency(many)
    check(sum(1 for nid in p.nbt if nid & 0x1F == 4) == 100000, '100,000 message nodes')
    os.remove(many)
    big = os.path.join(a.work, 'big.pst')
    r = run([a.tool, 'big', big, '4.2'])
    check(r.returncode == 0, 'big: ' + r.stderr.decode())
    check(os.path.getsize(big) > 4.2 * (1 << 30), 'the big store is not past 4 GB')
    check_validator(a.validate, big)
    check_pffinfo(big)
    r = run(['lspst', big])
    check(r.returncode == 0 and r.stdout.count(b'Subject: Big message') == 538, 'lspst on the big store')
    # The last message's attachment lies past 4 GB: read it back whole.
    f, tree = pypff_tree(big)
    msgs = tree.get('/Top of Personal Folders/Big', [])
    check(len(msgs) == 538, 'pypff: %d big messages' % len(msgs))
    if msgs:
        last = msgs[-1]
        att = last.get_attachment(0)
        data = att.read_buffer(att.get_size())
        n = int(last.subject.split()[-1])
        check(len(data) == 8 << 20 and data[:4] == struct.pack('<I', n), 'attachment past 4 GB')
    f.close()
    os.remove(big)
    if FAILURES:
        return 1
    print('pst scale checks passed')
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--corpus', required=True)
    ap.add_argument('--work', required=True)
    ap.add_argument('--validate')
    ap.add_argument('--convert', help='brimvault-convert')
    ap.add_argument('--js-readers', help='node_modules folder holding pst-extractor (tests/readers)')
    ap.add_argument('--many', type=int, default=3000)
    ap.add_argument('--one', type=int, default=8000)
    ap.add_argument('--scale', action='store_true')
    a = ap.parse_args()
    if a.scale:
        return scale(a)
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    basic = os.path.join(a.work, 'basic.pst')

    r = run([a.tool, 'basic', basic])
    if not check(r.returncode == 0, 'pst_write_tool basic: ' + r.stderr.decode()):
        return 1
    check_no_partial(a.work)
    check_validator(a.validate, basic)
    check_pffinfo(basic)
    check_pypff_basic(basic)
    check_pffexport_basic(basic, a.work)
    check_readpst_basic(basic, a.work)
    js = JsReaders(a.js_readers)
    summary = check_every_reader(basic, a.work, js, a.validate)
    check_keywords(basic, a.work, 'Plain message', ['Red Category', 'Projekt \u00dc'], summary)
    named = os.path.join(a.work, 'named.pst')
    r = run([a.tool, 'append', named, 'labels'])
    check(r.returncode == 0, 'append to a new store: ' + r.stderr.decode())
    summary = check_every_reader(named, a.work, js, a.validate)
    check_keywords(named, a.work, 'Appended message labels', ['Appended labels'], summary, readpst_log=True)
    check_consistency(basic)
    check_against_corpus(basic, a.corpus)

    # Reopen and append, twice; nothing already stored may be lost.
    app = os.path.join(a.work, 'append.pst')
    shutil.copy(basic, app)
    for tag in ('one', 'two'):
        r = run([a.tool, 'append', app, tag])
        check(r.returncode == 0, 'append %s: %s' % (tag, r.stderr.decode()))
    check_no_partial(a.work)
    check_validator(a.validate, app)
    check_pffinfo(app)
    check_pypff_basic(app)
    check_every_reader(app, a.work, js, a.validate)
    check_consistency(app)
    f, tree = pypff_tree(app)
    for tag in ('one', 'two'):
        msgs = tree.get('/Top of Personal Folders/Appended ' + tag, [])
        check([m.subject for m in msgs] == ['Appended message ' + tag], 'appended folder %s: %r' % (tag, [m.subject for m in msgs]))
    f.close()

    # Appending to Outlook-made stores adds no finding the validator did not have before.
    for rel in ('pstsdk/sample1.pst', 'ruby-msg/200-recipients.pst', 'ruby-msg/msgInMsg.pst'):
        src = os.path.join(a.corpus, 'pst', rel)
        dst = os.path.join(a.work, 'outlook-' + os.path.basename(rel))
        shutil.copy(src, dst)
        before = validator_codes(a.validate, dst)
        r = run([a.tool, 'append', dst, 'outlook'])
        check(r.returncode == 0, 'append to %s: %s' % (rel, r.stderr.decode()))
        after = validator_codes(a.validate, dst)
        check(after <= before, 'append to %s: new validator findings %r' % (rel, sorted(after - before)))
        check_pffinfo(dst)
        f, tree = pypff_tree(dst)
        found = [k for k in tree if k.endswith('/Appended outlook')]  # below the store's own IPM subtree name
        msgs = tree[found[0]] if found else []
        check([m.subject for m in msgs] == ['Appended message outlook'], 'append to %s: folder contents' % rel)
        check(sum(len(v) for v in tree.values()) >= 2, 'append to %s: the Outlook messages are gone' % rel)
        f.close()
        # Keywords keeps the id Outlook gave it in this store.
        check_keywords(dst, a.work, 'Appended message outlook', ['Appended outlook'], js.read(dst),
                       readpst_log=os.path.getsize(dst) < 1 << 20)

    # A file that is no store of ours is refused and left as it was.
    bogus = os.path.join(a.work, 'bogus.pst')
    with open(bogus, 'wb') as fh:
        fh.write(b'From someone\nSubject: not a pst\n\n' * 100)
    before = sha(bogus)
    r = run([a.tool, 'append', bogus, 'x'])
    err = r.stderr.decode()
    check(r.returncode != 0 and 'HEADER dwMagic' in err, 'a non-store file was not refused clearly: %r' % err)
    check(sha(bogus) == before, 'the refused file was changed')
    check_no_partial(a.work)

    # The corpus .eml files through the RFC 822 importer into a store.
    eml = os.path.join(a.work, 'eml.pst')
    r = run([a.tool, 'eml', eml, a.corpus])
    check(r.returncode == 0, 'eml: ' + r.stderr.decode())
    if r.returncode == 0:
        count = int(r.stdout.decode().strip() or 0)
        check(count > 0, 'no .eml files in the corpus')
        check_validator(a.validate, eml)
        check_pffinfo(eml)
        check_consistency(eml)
        f, tree = pypff_tree(eml)
        check(len(tree.get('/Top of Personal Folders/Imported', [])) == count, 'pypff: imported messages')
        f.close()
        check_every_reader(eml, a.work, js, a.validate)
        out_dir = os.path.join(a.work, 'readpst-eml')
        os.makedirs(out_dir, exist_ok=True)
        r = run(['readpst', '-j', '0', '-D', '-M', '-o', out_dir, eml])
        log = r.stdout.decode('utf-8', 'replace')
        check(r.returncode == 0 and '"Imported" - %d items done, 0 items skipped' % count in log, 'readpst on imported mail: ' + log)

    # Many messages: multi-block row matrices and multi-level row indexes.
    many = os.path.join(a.work, 'many.pst')
    r = run([a.tool, 'many', many, str(a.many)])
    check(r.returncode == 0, 'many: ' + r.stderr.decode())
    check_validator(a.validate, many)
    check_pffinfo(many)
    check_consistency(many)
    f, tree = pypff_tree(many)
    total = sum(len(v) for k, v in tree.items() if 'Bulk' in k)
    check(total == a.many, 'pypff counts %d of %d messages' % (total, a.many))
    f.close()
    check_every_reader(many, a.work, js)

    if a.convert:
        check_convert(a, js)
    else:
        check(False, 'no --convert: the conversion stores were not checked')

    check_one_folder(a)

    if FAILURES:
        print('%d failure(s)' % len(FAILURES))
        return 1
    print('all pst interop checks passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
