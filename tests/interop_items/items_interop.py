#!/usr/bin/env python3
"""Contacts (.vcf) and calendars (.ics) from the public test files of tests/data, converted
by brimvault-convert into one .pst store and into .msg files, then read back by readers
that share none of our code:

- readpst -j 0 -cv -r: its vCard output names every contact with the surname, given name,
  company, phones and addresses of its card; its iCalendar output gives every event its
  start, end, location and recurrence rule;
- pypff opens every item of every folder (tasks too: readpst writes no output for tasks),
  and every folder holds the items its file has;
- @kenjiuno/msgreader reads every Contact-n.msg and Appointment-n.msg;
- pst-validate finds nothing;
- a .vcf and an .ics inside a .zip end up in the store as the same files unpacked do;
- each item is stored once: files converted twice into one store, or listed twice (a
  copy under another folder), give every contact, event and task once, read back by
  readpst and pypff, and the report counts the rest "already there" (exit code 0); .msg
  files written again are the same files, byte for byte.
Expected values come from the source files, read here by a small reader of our own. An
item is known by its UID (with its RECURRENCE-ID when it stands apart from its series,
and its place among the items of its file with the same UID), without a UID by its
content: an item of a file that an earlier file of the run holds already is not stored.
"""
import argparse
import datetime
import glob
import json
import os
import quopri
import re
import shutil
import subprocess
import sys
import zoneinfo

FAILURES = []


def fail(case, msg):
    FAILURES.append(f"{case}: {msg}")


def unfold(text):
    text = text.replace('\r\n', '\n').replace('\r', '\n')
    out = []
    for line in text.split('\n'):
        if line[:1] in (' ', '\t') and out:
            out[-1] += line[1:]
        elif out and out[-1].endswith('=') and 'QUOTED-PRINTABLE' in out[-1].split(':', 1)[0].upper():
            out[-1] = out[-1][:-1] + line
        else:
            out.append(line)
    return out


def value_of(line):
    head, _, value = line.partition(':')
    params = head.upper().split(';')
    charset = 'utf-8'
    for p in params:
        if p.startswith('CHARSET='):
            charset = p[8:]
    if 'ENCODING=QUOTED-PRINTABLE' in params or 'QUOTED-PRINTABLE' in params:
        value = quopri.decodestring(value.encode('latin-1', 'replace')).decode(charset, 'replace')
    return value


def split_unescaped(value, sep):
    parts, cur, i = [], '', 0
    while i < len(value):
        c = value[i]
        if c == '\\' and i + 1 < len(value):
            cur += '\n' if value[i + 1] in 'nN' else value[i + 1]
            i += 2
            continue
        if c == sep:
            parts.append(cur)
            cur = ''
        else:
            cur += c
        i += 1
    parts.append(cur)
    return parts


def source_cards(path):
    """Per card: surname, given name, company, number of TEL lines, ADR kinds."""
    text = open(path, 'rb').read().decode('utf-8', 'replace')
    cards, card = [], None
    for line in unfold(text):
        name = line.split(':', 1)[0].split(';', 1)[0].upper()
        name = name.rsplit('.', 1)[-1]
        if line.upper().startswith('BEGIN:VCARD'):
            card = {'n': None, 'org': '', 'tel': 0, 'adr': 0, 'fn': ''}
        elif line.upper().startswith('END:VCARD') and card is not None:
            cards.append(card)
            card = None
        elif card is not None and name == 'N' and card['n'] is None:
            card['n'] = [p.strip() for p in split_unescaped(value_of(line), ';')] + [''] * 5
        elif card is not None and name == 'FN':
            card['fn'] = split_unescaped(value_of(line), '\0')[0].strip()
        elif card is not None and name == 'ORG' and not card['org']:
            card['org'] = split_unescaped(value_of(line), ';')[0].strip()
        elif card is not None and name == 'TEL':
            card['tel'] += 1
        elif card is not None and name == 'ADR':
            card['adr'] += 1
    return cards


def readpst(store, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    r = subprocess.run(['readpst', '-j', '0', '-cv', '-r', '-o', out, store], capture_output=True, text=True)
    if r.returncode != 0:
        fail('readpst', r.stderr[:300])
    found = {}
    for path in glob.glob(os.path.join(out, '**', '*'), recursive=True):
        if os.path.isfile(path):
            found.setdefault(os.path.basename(os.path.dirname(path)), []).append(path)
    return found


def blocks(path, kind):
    text = open(path, 'rb').read().decode('utf-8', 'replace')
    out = []
    for m in re.finditer(r'BEGIN:%s\n(.*?)END:%s' % (kind, kind), text.replace('\r\n', '\n'), re.S):
        props = {}
        for line in unfold(m.group(1)):
            head, _, value = line.partition(':')
            props.setdefault(head.split(';', 1)[0].upper(), []).append((head, value))
        out.append(props)
    return out


def item_identities(path, kind):
    """(identity, component) of each item the file gives, in order: for VEVENT the
    events that stand alone (a changed instance of a series in the file goes with it)."""
    text = open(path, 'rb').read().decode('utf-8', 'replace')
    comps = []
    for m in re.finditer(r'BEGIN:%s\n(.*?)END:%s' % (kind, kind), text.replace('\r\n', '\n'), re.S):
        lines = unfold(m.group(1))
        props = {}
        for line in lines:
            head, _, value = line.partition(':')
            props.setdefault(head.split(';', 1)[0].upper().rsplit('.', 1)[-1], []).append((head, value))
        comps.append((lines, props))
    if kind == 'VEVENT':
        masters = {p.get('UID', [('', '')])[0][1] for _, p in comps if 'RECURRENCE-ID' not in p}
        comps = [(l, p) for l, p in comps
                 if 'RECURRENCE-ID' not in p or p.get('UID', [('', '')])[0][1] not in masters]
    out, seen = [], {}
    for lines, props in comps:
        uid = props.get('UID', [('', '')])[0][1].strip()
        if uid:
            rid = props['RECURRENCE-ID'][0] if 'RECURRENCE-ID' in props and kind != 'VCARD' else None
            name = (kind, uid, rid)
            seen[name] = seen.get(name, 0) + 1
            ident = name + (seen[name],)
        else:
            dropped = ('DTSTAMP',) if kind != 'VCARD' else ('REV', 'PRODID', 'VERSION')
            ident = (kind, tuple(l for l in lines if l.split(':', 1)[0].split(';', 1)[0].upper() not in dropped))
        out.append((ident, props))
    return out


def stored_items(path, kind, held):
    """The items of the file the run stores, given the identities the store holds
    (updated): an event without a start fails and is not stored."""
    out = []
    for ident, props in item_identities(path, kind):
        if ident in held or (kind == 'VEVENT' and 'DTSTART' not in props):
            continue
        held.add(ident)
        out.append(props)
    return out


def check_contacts(files, found):
    for f in files:
        folder = os.path.splitext(os.path.basename(f))[0]
        cards = source_cards(f)
        outs = [p for p in found.get(folder, []) if os.path.basename(p) == 'contacts']
        got = blocks(outs[0], 'VCARD') if outs else []
        if len(got) != len(cards):
            fail(folder, f'readpst shows {len(got)} contacts, the file has {len(cards)} cards')
            continue
        for want, have in zip(cards, got):
            n = split_unescaped(have.get('N', [('', '')])[0][1], ';') + [''] * 5
            if want['n'] is not None and (n[0], n[1]) != (want['n'][0], want['n'][1]):
                fail(folder, f'readpst name {n[:2]}, card {want["n"][:2]}')
            if want['org'] and split_unescaped(have.get('ORG', [('', '')])[0][1], ';')[0] != want['org']:
                fail(folder, f'readpst company {have.get("ORG")}, card {want["org"]!r}')
            tels = len(have.get('TEL', []))
            if tels < min(want['tel'], 1) or tels > want['tel']:
                fail(folder, f'readpst shows {tels} phones, the card has {want["tel"]}')
            if want['adr'] and not have.get('ADR'):
                fail(folder, f'readpst shows no address, the card has {want["adr"]}')


def ical_utc(value, params, zones):
    """A DTSTART/DTEND value in UTC (as readpst writes them), or None for a date."""
    if 'VALUE=DATE' in params.upper() and 'DATE-TIME' not in params.upper():
        return None
    v = value.strip()
    if not re.fullmatch(r'\d{8}T\d{6}Z?', v):
        return 'unknown'  # not a valid time: the event ends at its start, with a warning
    dt = datetime.datetime.strptime(v[:15], '%Y%m%dT%H%M%S')
    if v.endswith('Z'):
        return dt
    m = re.search(r'TZID=("?)([^;:"]+)\1', params)
    name = m.group(2) if m else os.environ.get('TZ', 'UTC')
    name = zones.get(name, name)
    try:
        tz = zoneinfo.ZoneInfo(name.lstrip('/'))
    except Exception:  # noqa: a zone of the file only; not checked here
        return 'unknown'
    return dt.replace(tzinfo=tz).astimezone(datetime.timezone.utc).replace(tzinfo=None)


# Zones that the test files define under names of their own, by their tz database name.
ZONE_ALIASES = {'custom_America/New_York': 'America/New_York'}


def check_calendars(files, found, expected_counts):
    held = set()
    for f in files:
        folder = os.path.splitext(os.path.basename(f))[0]
        # The events stored: an event an earlier file gave already is there.
        wanted = stored_items(f, 'VEVENT', held)
        outs = [p for p in found.get(folder, []) if os.path.basename(p) == 'calendar']
        got = blocks(outs[0], 'VEVENT') if outs else []
        if len(got) != expected_counts.get(folder, len(wanted)):
            fail(folder, f'readpst shows {len(got)} appointments, expected {expected_counts.get(folder, len(wanted))}')
            continue
        for want, have in zip(wanted, got):
            for prop in ('DTSTART', 'DTEND'):
                if prop not in want:
                    continue
                head, value = want[prop][0]
                exp = ical_utc(value, head, ZONE_ALIASES)
                if exp in (None, 'unknown'):
                    continue
                if prop not in have:
                    fail(folder, f'readpst shows no {prop}')
                    continue
                got_v = have[prop][0][1].strip()
                if got_v != exp.strftime('%Y%m%dT%H%M%SZ'):
                    fail(folder, f'{prop} {got_v}, expected {exp:%Y%m%dT%H%M%SZ} ({value})')
            if 'LOCATION' in want and split_unescaped(want['LOCATION'][0][1], '\0')[0] and 'LOCATION' not in have:
                fail(folder, 'readpst shows no location')
            rule = want.get('RRULE', [('', '')])[0][1].upper()
            freq = re.search(r'FREQ=(\w+)', rule)
            if freq and freq.group(1) in ('DAILY', 'WEEKLY', 'MONTHLY', 'YEARLY') and 'BYHOUR' not in rule:
                got_rule = have.get('RRULE', [('', '')])[0][1].upper()
                if f'FREQ={freq.group(1)}' not in got_rule and not (freq.group(1) == 'DAILY' and 'BYDAY' in rule):
                    fail(folder, f'readpst rule {got_rule!r}, the event has {rule!r}')


def check_pypff(store, expected):
    import pypff
    f = pypff.file()
    f.open(store)
    top = None
    root = f.get_root_folder()
    for i in range(root.number_of_sub_folders):
        if root.get_sub_folder(i).name == 'Top of Personal Folders':
            top = root.get_sub_folder(i)
    seen = {}
    for i in range(top.number_of_sub_folders):
        folder = top.get_sub_folder(i)
        n = 0
        for j in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(j)
            _ = m.subject, m.number_of_record_sets, m.number_of_attachments
            for k in range(m.number_of_attachments):
                a = m.get_attachment(k)
                a.read_buffer(a.size)
            n += 1
        seen[folder.name] = n
    for name, count in expected.items():
        if seen.get(name) != count:
            fail('pypff', f'folder {name!r} holds {seen.get(name)} items, expected {count}')
    f.close()


def folder_items(store):
    """Folder name -> the subjects of its items, as pypff reads them."""
    import pypff
    f = pypff.file()
    f.open(store)
    out = {}
    root = f.get_root_folder()
    for i in range(root.number_of_sub_folders):
        top = root.get_sub_folder(i)
        if top.name != 'Top of Personal Folders':
            continue
        for k in range(top.number_of_sub_folders):
            folder = top.get_sub_folder(k)
            out[folder.name] = sorted(folder.get_sub_message(j).subject or ''
                                      for j in range(folder.number_of_sub_messages))
    f.close()
    return out


def readpst_text(found, folder, name):
    """What readpst wrote for `folder`, without the DTSTAMP lines: they carry the time
    readpst itself ran, which differs between two of its runs."""
    paths = [p for p in found.get(folder, []) if os.path.basename(p) == name]
    if not paths:
        return b''
    lines = open(paths[0], 'rb').read().splitlines(keepends=True)
    return b''.join(line for line in lines if not line.startswith(b'DTSTAMP:'))


def check_archive(args, vcfs, icss):
    import zipfile
    loose = os.path.join(args.work, 'loose')
    os.makedirs(loose)
    vcf = next(f for f in vcfs if f.endswith('john-doe-1.vcf'))
    ics = next(f for f in icss if f.endswith('radicale-0827.ics'))
    mbox = 'From a@example.org Mon Jan  1 00:00:00 2024\nFrom: a@example.org\nSubject: hi\n\nbody\n'
    with open(os.path.join(loose, 'Inbox.mbox'), 'w', newline='') as f:
        f.write(mbox)
    shutil.copy(vcf, os.path.join(loose, 'people.vcf'))
    shutil.copy(ics, os.path.join(loose, 'work.ics'))
    zpath = os.path.join(args.work, 'export.zip')
    with zipfile.ZipFile(zpath, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('export/Mail/Inbox.mbox', mbox)
        z.write(vcf, 'export/Contacts/people.vcf')
        z.write(ics, 'export/Calendar/work.ics')
    stores = {}
    for case, inputs in (('loose', [os.path.join(loose, n) for n in ('Inbox.mbox', 'people.vcf', 'work.ics')]),
                         ('zip', [zpath])):
        out = os.path.join(args.work, 'pst-' + case)
        r = subprocess.run([args.convert, '--to', 'pst', '--single-pst', '-o', out] + inputs,
                           capture_output=True, text=True)
        got = glob.glob(os.path.join(out, '*.pst'))
        if r.returncode != 0 or len(got) != 1:
            fail('archive', f'{case}: exit {r.returncode}, {len(got)} stores: {r.stdout[-300:]} {r.stderr[-300:]}')
            return
        if '1 mailbox(es) and 1 message(s), 2 contacts/calendar file(s) and 7 item(s) converted' not in r.stdout:
            fail('archive', f'{case}: summary {r.stdout.strip()[:200]!r}')
        stores[case] = got[0]
        if args.validate:
            v = subprocess.run([args.validate, got[0]], capture_output=True, text=True)
            if v.returncode != 0 or ' 0 error(s), 0 warning(s)' not in v.stdout:
                fail('archive', f'{case}: pst-validate: {v.stdout[-400:]}')
    items = {case: folder_items(store) for case, store in stores.items()}
    if items['zip'] != items['loose']:
        fail('archive', f'pypff: inside the zip {items["zip"]}, unpacked {items["loose"]}')
    if len(items['zip'].get('Contacts', [])) != len(source_cards(vcf)) or not items['zip'].get('Calendar'):
        fail('archive', f'pypff folders {sorted((k, len(v)) for k, v in items["zip"].items())}')
    # Two contacts files inside: the first takes "Contacts", the one after it a folder named after it.
    z2 = os.path.join(args.work, 'two.zip')
    with zipfile.ZipFile(z2, 'w', zipfile.ZIP_DEFLATED) as z:
        z.write(vcf, 'a/people.vcf')
        z.write(vcfs[0] if vcfs[0] != vcf else vcfs[1], 'b/friends.vcf')
    out2 = os.path.join(args.work, 'pst-two')
    subprocess.run([args.convert, '--to', 'pst', '--single-pst', '-o', out2, z2], capture_output=True, text=True)
    two = folder_items(glob.glob(os.path.join(out2, '*.pst'))[0]) if glob.glob(os.path.join(out2, '*.pst')) else {}
    two.pop('Deleted Items', None)
    if sorted(two) != ['Contacts', 'friends'] or len(two['Contacts']) != len(source_cards(vcf)):
        fail('archive', f'two contacts files inside: folders {sorted((k, len(v)) for k, v in two.items())}')
    found = {case: readpst(store, os.path.join(args.work, 'readpst-' + case)) for case, store in stores.items()}
    for folder, name in (('Contacts', 'contacts'), ('Calendar', 'calendar')):
        zipped, unpacked = (readpst_text(found[c], folder, name) for c in ('zip', 'loose'))
        if not zipped or zipped != unpacked:
            fail('archive', f'readpst {folder}: {len(zipped)} bytes from the zip, {len(unpacked)} unpacked, not the same')


def check_once(args, data):
    """Each item stored once: contacts and calendars converted into a store, listed
    twice (the same path twice and a copy in another folder), then converted again."""
    case = 'once'
    src = os.path.join(args.work, 'once-in')
    copy = os.path.join(src, 'copy')
    os.makedirs(copy)
    names = {'people.vcf': 'contacts/ezvcard-john-doe-1.vcf',  # six cards, no UID
             'family.vcf': 'contacts/ezvcard-john-doe-6.vcf',  # a UID
             'series.ics': 'calendars/vobject-radicale-0827.ics',  # a series and its changed instances
             'rides.ics': 'calendars/icalendar-example.ics',  # two events of one UID
             'todo.ics': 'calendars/vobject-vtodo.ics'}  # a task
    for name, source in names.items():
        shutil.copy(os.path.join(data, source), os.path.join(src, name))
        shutil.copy(os.path.join(data, source), os.path.join(copy, name))
    # Mail beside them: the report counts messages and items together.
    for folder in (src, copy):
        with open(os.path.join(folder, 'Inbox.mbox'), 'w', newline='') as f:
            f.write('From a@example.org Mon Jan  1 00:00:00 2024\nFrom: a@example.org\n'
                    'Message-ID: <once@example.org>\nSubject: hi\n\nbody\n')
    names['Inbox.mbox'] = None
    files = [os.path.join(src, n) for n in names]
    # Copies under names of their own: every item is there already, so they make no folder.
    renamed = {'relatives.vcf': 'family.vcf', 'chores.ics': 'todo.ics'}
    for name, source in renamed.items():
        shutil.copy(os.path.join(src, source), os.path.join(copy, name))
    inputs = files + [os.path.join(copy, n) for n in names] + files[:1] + [os.path.join(copy, n) for n in renamed]
    # The store's folders and what each holds: a copy of a file takes the folder of its
    # name, where its items are already.
    held = set()
    # The two mailboxes of one name are told apart by their folders; the copy's message
    # is there already.
    expected = {'Inbox (once-in)': 1, 'Inbox (copy)': 0}
    for name in names:
        if name.endswith('.mbox'):
            continue
        stem = os.path.splitext(name)[0]
        kinds = ('VCARD',) if name.endswith('.vcf') else ('VEVENT', 'VTODO')
        for kind in kinds:
            n = len(stored_items(os.path.join(src, name), kind, held))
            if n:
                expected[stem + (' (Tasks)' if kind == 'VTODO' else '')] = n
    total = sum(expected.values())
    renamed_items = (len(stored_items(os.path.join(src, 'family.vcf'), 'VCARD', set())) +
                     len(stored_items(os.path.join(src, 'todo.ics'), 'VTODO', set())))
    # One store for all: the copies and the file listed twice are already there.
    out = os.path.join(args.work, 'pst-once')
    r = subprocess.run([args.convert, '--to', 'pst', '--single-pst', '-o', out] + inputs, capture_output=True, text=True)
    stores = glob.glob(os.path.join(out, '*.pst'))
    if (r.returncode != 0 or len(stores) != 1 or
            f'1 message(s), 12 contacts/calendar file(s) and {total - 1} item(s) converted into' not in r.stdout or
            f'; 1 message(s) already there; {total - 1 + renamed_items} item(s) already there' not in r.stdout or
            r.stderr.strip()):
        fail(case, f'one store: exit {r.returncode}, {len(stores)} stores, {r.stdout.strip()!r} {r.stderr[-300:]!r}')
        return
    store = stores[0]
    # A run again finds everything in the stores of the first. (A store per input: one
    # store for all is named by the time of its run, so each run makes its own.)
    again = os.path.join(args.work, 'pst-again')
    for attempt in (1, 2):
        r = subprocess.run([args.convert, '--to', 'pst', '-o', again] + inputs, capture_output=True, text=True)
        if r.returncode != 0 or r.stderr.strip():
            fail(case, f'store per input, run {attempt}: exit {r.returncode}, {r.stderr[-300:]!r}')
            return
        if attempt == 1:
            first = {p: os.path.getsize(p) for p in glob.glob(os.path.join(again, '**', '*.pst'), recursive=True)}
    if f'; all 2 message(s) already there; {2 * (total - 1) + renamed_items} item(s) already there' not in r.stdout:
        fail(case, f'store per input, run 2: {r.stdout.strip()!r}')
    if {p: os.path.getsize(p) for p in glob.glob(os.path.join(again, '**', '*.pst'), recursive=True)} != first:
        fail(case, 'store per input, run 2: the stores changed')
    if args.validate:
        v = subprocess.run([args.validate, store], capture_output=True, text=True)
        if v.returncode != 0 or ' 0 error(s), 0 warning(s)' not in v.stdout:
            fail(case, 'pst-validate: ' + v.stdout[-600:])
    items = folder_items(store)
    got = {k: len(v) for k, v in items.items() if k != 'Deleted Items'}
    if got != expected:
        fail(case, f'pypff: items per folder {got}, expected {expected} (and no empty folder)')
    found = readpst(store, os.path.join(args.work, 'readpst-once'))
    for stem, kind, fname in (('people', 'VCARD', 'contacts'), ('family', 'VCARD', 'contacts'),
                              ('series', 'VEVENT', 'calendar'), ('rides', 'VEVENT', 'calendar')):
        paths = [p for p in found.get(stem, []) if os.path.basename(p) == fname]
        n = len(blocks(paths[0], kind)) if paths else 0
        if n != expected.get(stem):
            fail(case, f'readpst: {n} items in {stem!r}, expected {expected.get(stem)}')
    # .msg files (of the items and of the message): a run again leaves the files there
    # as they are (the same inodes), counted "already there"; a file of that name with
    # other bytes is replaced by the item's.
    outm = os.path.join(args.work, 'msg-once')
    before = None
    for attempt in (1, 2, 3):
        r = subprocess.run([args.convert, '--to', 'msg', '-o', outm] + files, capture_output=True, text=True)
        paths = sorted(glob.glob(os.path.join(outm, '**', '*.msg'), recursive=True))
        made = {p: (open(p, 'rb').read(), os.stat(p).st_ino) for p in paths}
        if r.returncode != 0 or not made:
            fail(case, f'.msg run {attempt}: exit {r.returncode}, {len(made)} files: {r.stdout.strip()!r}')
            return
        if attempt == 1:
            before = made
            continue
        if {p: v[0] for p, v in made.items()} != {p: v[0] for p, v in before.items()}:
            fail(case, f'.msg run {attempt}: {len(made)} files, {len(before)} before, or other bytes')
        changed = sorted(os.path.basename(p) for p in made if made[p][1] != before[p][1])
        if attempt == 2:
            if changed or f'; all 1 message(s) already there; {len(made) - 1} item(s) already there' not in r.stdout:
                fail(case, f'.msg run again: rewrote {changed}; {r.stdout.strip()!r}')
            # Another file under an item's name, and one under the message's.
            damaged = [p for p in paths if os.path.basename(p) in ('Contact-2.msg', 'Email-1.msg')]
            for p in damaged:
                with open(p, 'r+b') as f:
                    f.seek(600)
                    byte = f.read(1)[0]
                    f.seek(600)
                    f.write(bytes([byte ^ 0xff]))
            before = {p: (v[0], os.stat(p).st_ino) for p, v in made.items()}
        elif (changed != sorted(os.path.basename(p) for p in damaged) or
              ' and 1 message(s), 5 contacts/calendar file(s) and 1 item(s) converted' not in r.stdout or
              f'; {len(made) - 2} item(s) already there' not in r.stdout):
            fail(case, f'.msg run with two files changed: rewrote {changed}; {r.stdout.strip()!r}')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--convert', required=True)
    ap.add_argument('--data', required=True)
    ap.add_argument('--work', required=True)
    ap.add_argument('--validate')
    ap.add_argument('--js-readers')
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    vcfs = sorted(glob.glob(os.path.join(args.data, 'contacts', '*.vcf')))
    icss = sorted(glob.glob(os.path.join(args.data, 'calendars', '*.ics')))

    # One store for all: a folder per file, named after it.
    out = os.path.join(args.work, 'pst')
    r = subprocess.run([args.convert, '--to', 'pst', '--single-pst', '-o', out] + vcfs + icss,
                       capture_output=True, text=True)
    stores = glob.glob(os.path.join(out, '*.pst'))
    if len(stores) != 1:
        fail('convert', f'{len(stores)} stores written: {r.stdout[-500:]} {r.stderr[-500:]}')
        return finish()
    store = stores[0]
    # The only failures: events of the files that have no start (iTIP replies and the like).
    def standalone(events):
        masters = {e.get('UID', [('', '')])[0][1] for e in events if 'RECURRENCE-ID' not in e}
        return [e for e in events if 'RECURRENCE-ID' not in e or e.get('UID', [('', '')])[0][1] not in masters]
    no_start = {f: sum(1 for e in standalone(blocks(f, 'VEVENT')) if 'DTSTART' not in e) for f in icss}
    seen_no_start = {}
    for line in (r.stdout + r.stderr).splitlines():
        if not line.startswith('failed:'):
            continue
        m = re.match(r'failed: (.*): line \d+: the event has no start \(DTSTART\)$', line)
        if m and m.group(1) in no_start:
            seen_no_start[m.group(1)] = seen_no_start.get(m.group(1), 0) + 1
        else:
            fail('convert', line)
    for f, n in no_start.items():
        if seen_no_start.get(f, 0) != n:
            fail('convert', f'{f}: {seen_no_start.get(f, 0)} events failed for want of a start, the file has {n}')
    if args.validate:
        v = subprocess.run([args.validate, store], capture_output=True, text=True)
        if v.returncode != 0 or ' 0 error(s), 0 warning(s)' not in v.stdout:
            fail('pst-validate', v.stdout[-800:])
    found = readpst(store, os.path.join(args.work, 'readpst'))
    check_contacts(vcfs, found)
    check_calendars(icss, found, {})
    expected = {os.path.splitext(os.path.basename(f))[0]: len(source_cards(f)) for f in vcfs}
    held_tasks = set()
    tasks = {os.path.splitext(os.path.basename(f))[0] + ' (Tasks)': len(stored_items(f, 'VTODO', held_tasks))
             for f in icss}
    check_pypff(store, dict(expected, **{k: v for k, v in tasks.items() if v}))

    # One store per file: the only contacts file of its store goes to "Contacts", and
    # its folder has the contacts class.
    out1 = os.path.join(args.work, 'pst1')
    subprocess.run([args.convert, '--to', 'pst', '-o', out1, vcfs[0], icss[0]], capture_output=True, text=True)
    found1 = readpst(os.path.join(out1, os.path.splitext(os.path.basename(vcfs[0]))[0] + '.pst'),
                     os.path.join(args.work, 'readpst1'))
    if 'Contacts' not in found1:
        fail('single file', f'no "Contacts" folder: {sorted(found1)}')
    cal_store = os.path.join(out1, os.path.splitext(os.path.basename(icss[0]))[0] + '.pst')
    if 'Calendar' not in readpst(cal_store, os.path.join(args.work, 'readpst2')):
        fail('single file', 'no "Calendar" folder')

    # A contacts file named like a mailbox of the same store keeps its items apart.
    clash = os.path.join(args.work, 'clash')
    os.makedirs(clash)
    with open(os.path.join(clash, 'family.mbox'), 'w', newline='') as f:
        f.write('From a@example.org Mon Jan  1 00:00:00 2024\nFrom: a@example.org\nSubject: hi\n\nbody\n')
    shutil.copy(vcfs[0], os.path.join(clash, 'family.vcf'))
    shutil.copy(vcfs[1], os.path.join(clash, 'friends.vcf'))
    outc = os.path.join(args.work, 'pst-clash')
    subprocess.run([args.convert, '--to', 'pst', '--single-pst', '-o', outc] +
                   [os.path.join(clash, n) for n in ('family.mbox', 'family.vcf', 'friends.vcf')],
                   capture_output=True, text=True)
    foundc = readpst(glob.glob(os.path.join(outc, '*.pst'))[0], os.path.join(args.work, 'readpst-clash'))
    if not {'family', 'family (Contacts)', 'friends'} <= set(foundc):
        fail('clash', f'folders {sorted(foundc)}')

    # A .vcf and an .ics inside a .zip, beside a mailbox, go into the one store as the
    # same files unpacked do: the same folders, the same items as readpst and pypff read them.
    check_archive(args, vcfs, icss)

    # Each item once: converted twice into one store, and listed twice.
    check_once(args, args.data)

    # .msg files, read by msgreader.
    outm = os.path.join(args.work, 'msg')
    subprocess.run([args.convert, '--to', 'msg', '-o', outm] + vcfs + icss, capture_output=True, text=True)
    msgs = sorted(glob.glob(os.path.join(outm, '**', '*.msg'), recursive=True))
    contacts = [m for m in msgs if os.path.basename(m).startswith('Contact-')]
    appts = [m for m in msgs if os.path.basename(m).startswith('Appointment-')]
    if len([m for m in msgs if os.path.basename(m).startswith('Task-')]) != sum(tasks.values()):
        fail('msg', f'task files: expected {sum(tasks.values())}')
    if len(contacts) != sum(expected.values()):
        fail('msg', f'{len(contacts)} contact files, expected {sum(expected.values())}')
    if not appts:
        fail('msg', 'no appointment files')
    if args.js_readers and shutil.which('node'):
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'msgreader_items.js')
        env = dict(os.environ, NODE_PATH=args.js_readers)
        res = subprocess.run(['node', script] + msgs, capture_output=True, text=True, env=env)
        if res.returncode != 0:
            fail('msgreader', res.stderr[:300])
        else:
            for path, d in json.loads(res.stdout).items():
                name = os.path.basename(path)
                if 'exception' in d:
                    fail(name, 'msgreader: ' + d['exception'][:200])
                elif name.startswith('Contact-') and d.get('messageClass') != 'IPM.Contact':
                    fail(name, f'msgreader class {d.get("messageClass")!r}')
                elif name.startswith('Task-') and d.get('messageClass') != 'IPM.Task':
                    fail(name, f'msgreader class {d.get("messageClass")!r}')
                elif name.startswith('Appointment-') and (d.get('messageClass') != 'IPM.Appointment'
                                                          or not d.get('apptStartWhole')):
                    fail(name, f'msgreader class {d.get("messageClass")!r}, start {d.get("apptStartWhole")!r}')
    # A card and an event that cannot be read fail alone, named with their file and line.
    bad_vcf = os.path.join(args.work, 'damaged.vcf')
    with open(bad_vcf, 'w', newline='') as f:
        f.write('BEGIN:VCARD\r\nVERSION:3.0\r\nFN:First\r\nEND:VCARD\r\n'
                'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Broken\r\nno property here\r\nEND:VCARD\r\n'
                'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Third\r\nEND:VCARD\r\n')
    bad_ics = os.path.join(args.work, 'damaged.ics')
    with open(bad_ics, 'w', newline='') as f:
        f.write('BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:no start\r\nEND:VEVENT\r\n'
                'BEGIN:VEVENT\r\nSUMMARY:fine\r\nDTSTART:20240101T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n')
    outb = os.path.join(args.work, 'damaged')
    r = subprocess.run([args.convert, '--to', 'msg', '-o', outb, bad_vcf, bad_ics], capture_output=True, text=True)
    report = r.stdout + r.stderr
    if f'{bad_vcf}: line 8: not a vCard property' not in report or f'{bad_ics}: line 2:' not in report:
        fail('damaged', 'the report does not name the file and line of what failed: ' + report[-600:])
    made = sorted(os.path.basename(p) for p in glob.glob(os.path.join(outb, '**', '*.msg'), recursive=True))
    if made != ['Appointment-2.msg', 'Contact-1.msg', 'Contact-3.msg']:
        fail('damaged', f'files written: {made}')

    # .eml: passed over, said once.
    oute = os.path.join(args.work, 'eml')
    r = subprocess.run([args.convert, '--to', 'eml', '-o', oute] + vcfs[:2] + icss[:1], capture_output=True, text=True)
    report = r.stdout + r.stderr
    if report.count('contacts and calendars are converted into .pst and .msg files only') != 1:
        fail('eml', 'the report does not say once that contacts and calendars are passed over: ' + report[-400:])
    return finish()


def finish():
    if FAILURES:
        print('\n'.join(FAILURES))
        print(f'FAILED: {len(FAILURES)}')
        return 1
    print('interop_items: all checks passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
