#!/usr/bin/env python3
"""Named properties below a message's top level. A series with a moved (not cancelled)
occurrence keeps that occurrence as an embedded appointment (an exception) with named
properties of its own: PidLidExceptionReplaceTime, PidLidFExceptionalBody... Each case is
converted by brimvault-convert and read back by readers that share none of our code:

- pst-validate finds no error in any store (a value stored under an id whose name has
  another type is one);
- pffexport resolves every exception's named ids through the store's map: its
  PidLidExceptionReplaceTime is a time, the same as the PidTagExceptionReplaceTime that
  pypff reads from the exception's attachment, and the RECURRENCE-ID of the occurrence
  where the file is made here; no exception carries a task's property (PSETID_Task);
- pypff reads the name-to-ID map and, under its ids, PidLidRecurring of every series;
- olefile reads the exception inside Appointment-n.msg: the file's own map names its
  PidLidExceptionReplaceTime, with the same time.

The cases: the moved occurrence alone; beside tasks (the tasks' names met first and
after); 30 such series with tasks in a store written in parts; libical-2446.ics.
(pypff cannot open an attachment's embedded message, so the exceptions are read with
pffexport, which uses the same library.)
"""
import argparse
import datetime
import glob
import os
import re
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from interop_common import check, finish, name_entries, run  # noqa: E402

PSETID_APPOINTMENT = bytes.fromhex('0220060000000000c000000000000046')
LID_EXCEPTION_REPLACE_TIME = 0x8228
LID_RECURRING = 0x8223
PT_SYSTIME = 0x0040
PR_EXCEPTION_REPLACE_TIME = 0x7FF9  # on the exception's attachment

SERIES = """BEGIN:VEVENT
UID:standup-{n}@example.org
DTSTAMP:20240101T090000Z
DTSTART:2024{month:02d}08T090000Z
DTEND:2024{month:02d}08T093000Z
RRULE:FREQ=WEEKLY;COUNT=6
SUMMARY:Standup {n}
LOCATION:Room 1
DESCRIPTION:{notes}
END:VEVENT
BEGIN:VEVENT
UID:standup-{n}@example.org
DTSTAMP:20240101T090000Z
RECURRENCE-ID:2024{month:02d}15T090000Z
DTSTART:2024{month:02d}16T140000Z
DTEND:2024{month:02d}16T143000Z
SUMMARY:Standup {n} (moved)
LOCATION:Room 2
END:VEVENT
"""
TASK = """BEGIN:VTODO
UID:task-{n}@example.org
DTSTAMP:20240101T090000Z
DTSTART:20240102T090000Z
DUE:20240110T170000Z
SUMMARY:Task {n}
STATUS:IN-PROCESS
PERCENT-COMPLETE:40
END:VTODO
"""


# Notes that make a series large enough for a few of them to fill a small store part.
NOTES = ' '.join('Agenda item %d: what was done, what is next, what is in the way.' % i for i in range(120))


def series(n, month=1, notes='Daily'):
    return SERIES.format(n=n, month=month, notes=notes)


def calendar(*parts):
    return 'BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Brimvault//Tests//EN\n' + ''.join(parts) + 'END:VCALENDAR\n'


def filetime(utc):
    """FILETIME of a 'YYYYMMDDTHHMMSSZ' time."""
    t = datetime.datetime.strptime(utc, '%Y%m%dT%H%M%SZ').replace(tzinfo=datetime.timezone.utc)
    return int((t - datetime.datetime(1601, 1, 1, tzinfo=datetime.timezone.utc)).total_seconds()) * 10**7


def replace_times(ics):
    """The RECURRENCE-IDs (in UTC) of a calendar made here, as FILETIMEs."""
    return sorted(filetime(v) for v in re.findall(r'^RECURRENCE-ID:(\S+)$', ics, re.M))


def pffexport_exceptions(store, work):
    """Per exception, as pffexport reads it: {LID it maps to: (value type, value bytes)}."""
    base = os.path.join(work, 'pffexport-' + os.path.basename(store))
    shutil.rmtree(base + '.export', ignore_errors=True)
    run(['pffexport', '-q', '-d', '-m', 'all', '-f', 'all', '-t', base, store])
    out = []
    for path in glob.glob(os.path.join(base + '.export', '**', 'Attachments', 'Attachment*', '*', 'ItemValues.txt'),
                          recursive=True):
        entries = {}
        text = open(path, encoding='utf-8', errors='replace').read()
        for block in text.split('Set:')[1:]:
            mapped = re.search(r'Maps to entry type:\s+0x([0-9a-f]+)', block)
            vtype = re.search(r'Value type:\s+0x([0-9a-f]+)', block)
            if mapped and vtype:
                hexbytes = ''.join(re.findall(r'^0x[0-9a-f]+: ((?:[0-9a-f]{2} ?)+)', block, re.M)).replace(' ', '')
                entries[int(mapped.group(1), 16)] = (int(vtype.group(1), 16), bytes.fromhex(hexbytes))
        out.append(entries)
    shutil.rmtree(base + '.export', ignore_errors=True)
    return out


def pypff_store(store):
    """(PidTagExceptionReplaceTime of every attachment, PidLidRecurring of every
    appointment with attachments) as pypff reads them, the named id from the store's map
    as pypff reads node 0x61."""
    import pypff
    f = pypff.file()
    f.open(store)
    streams = {e.entry_type: e.data or b'' for e in f.get_name_to_id_map().get_record_set(0).entries}
    ids = {name: pid for pid, name in name_entries(streams.get(2, b''), streams.get(3, b''), streams.get(4, b'')).items()}
    recurring_id = ids.get((PSETID_APPOINTMENT, LID_RECURRING))
    times, recurring = [], []

    def walk(folder):
        for i in range(folder.number_of_sub_folders):
            sub = folder.get_sub_folder(i)
            for k in range(sub.number_of_sub_messages):
                m = sub.get_sub_message(k)
                if not m.number_of_attachments:
                    continue
                values = {e.entry_type: e.data for e in m.get_record_set(0).entries}
                recurring.append(values.get(recurring_id) == b'\x01')
                for a in range(m.number_of_attachments):
                    for e in m.get_attachment(a).get_record_set(0).entries:
                        if e.entry_type == PR_EXCEPTION_REPLACE_TIME and e.value_type == PT_SYSTIME:
                            times.append(struct.unpack('<q', e.data)[0])
            walk(sub)

    walk(f.get_root_folder())
    f.close()
    return sorted(times), recurring


def check_store(case, store, args, expected):
    """The checks of the module's text on one store; returns its exception times."""
    name = f'{case}: {os.path.basename(store)}'
    r = run([args.validate, store], text=True)
    check(r.returncode == 0, f'{name}: pst-validate: {r.stdout[-600:]}')
    exceptions = pffexport_exceptions(store, args.work)
    times = []
    for entries in exceptions:
        vtype, value = entries.get(LID_EXCEPTION_REPLACE_TIME, (None, b''))
        if check(vtype == PT_SYSTIME and len(value) == 8, f'{name}: pffexport: an exception without '
                 f'PidLidExceptionReplaceTime as a time ({vtype})'):
            times.append(struct.unpack('<q', value)[0])
        tasks = sorted(hex(lid) for lid in entries if 0x8100 <= lid < 0x8200)
        check(not tasks, f'{name}: pffexport: an exception carries task properties {tasks}')
    attach_times, recurring = pypff_store(store)
    check(sorted(times) == attach_times, f'{name}: PidLidExceptionReplaceTime {sorted(times)} (pffexport), '
          f'PidTagExceptionReplaceTime of the attachments {attach_times} (pypff)')
    check(recurring and all(recurring), f'{name}: pypff: PidLidRecurring of the series {recurring}')
    if expected is not None:
        check(sorted(times) == expected, f'{name}: exception times {sorted(times)}, expected {expected}')
    return sorted(times)


def convert(args, case, files, *options):
    out = os.path.join(args.work, case)
    shutil.rmtree(out, ignore_errors=True)
    r = run([args.convert, *options, '-o', out, *files], text=True)
    check(r.returncode == 0 and not r.stderr.strip(), f'{case}: exit {r.returncode}: {r.stderr[-300:]}')
    return out


def msg_exception_time(path):
    """PidLidExceptionReplaceTime of the first exception of an appointment .msg, by olefile."""
    import olefile
    ole = olefile.OleFileIO(path)
    streams = {n: ole.openstream('__nameid_version1.0/__substg1.0_000%d0102' % n).read() for n in (2, 3, 4)}
    ids = {name: pid for pid, name in name_entries(streams[2], streams[3], streams[4]).items()}
    pid = ids.get((PSETID_APPOINTMENT, LID_EXCEPTION_REPLACE_TIME))
    props = ole.openstream('__attach_version1.0_#00000000/__substg1.0_3701000D/__properties_version1.0').read()
    for off in range(24, len(props) - 15, 16):  # an embedded message's header is 24 bytes
        tag = struct.unpack_from('<I', props, off)[0]
        if pid is not None and tag == (pid << 16 | PT_SYSTIME):
            return struct.unpack_from('<q', props, off + 8)[0]
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--convert', required=True)
    ap.add_argument('--validate', required=True)
    ap.add_argument('--data', required=True)
    ap.add_argument('--work', required=True)
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)

    def write(name, text):
        path = os.path.join(args.work, name)
        with open(path, 'w', newline='') as f:
            f.write(text.replace('\n', '\r\n'))
        return path

    moved = calendar(series(1))
    tasks = calendar(TASK.format(n=1), TASK.format(n=2))
    many = calendar(*(TASK.format(n=n) if n % 7 == 0 else series(n, n % 12 + 1, NOTES) for n in range(1, 36)))
    files = {'moved': write('moved.ics', moved), 'tasks': write('tasks.ics', tasks),
             'moved-then-tasks': write('moved-then-tasks.ics', calendar(series(1), TASK.format(n=1))),
             'tasks-then-moved': write('tasks-then-moved.ics', calendar(TASK.format(n=1), series(1))),
             'many': write('many.ics', many)}
    libical = os.path.join(args.data, 'calendars', 'libical-2446.ics')
    one = replace_times(moved)
    cases = [  # case, inputs, options, expected exception times (None: not computed here)
        ('alone', [files['moved']], [], one),
        ('moved-then-tasks', [files['moved-then-tasks']], [], one),
        ('tasks-then-moved', [files['tasks-then-moved']], [], one),
        ('task-file-first', [files['tasks'], files['moved']], ['--single-pst'], one),
        ('parts', [files['many']], ['--max-pst-size', '300K'], None),
    ]
    for case, inputs, options, expected in cases:
        out = convert(args, case, inputs, '--to', 'pst', *options)
        stores = sorted(glob.glob(os.path.join(out, '**', '*.pst'), recursive=True))
        check(stores, f'{case}: no store written')
        times = [t for s in stores for t in check_store(case, s, args, expected if len(stores) == 1 else None)]
        if case == 'parts':
            check(len(stores) >= 3, f'{case}: {len(stores)} part(s), expected several')
            check(sorted(times) == replace_times(many), f'{case}: exception times {sorted(times)}, '
                  f'expected {replace_times(many)}')
    # The public test file: its exceptions (how many, when) as the store holds them.
    out = os.path.join(args.work, 'libical')
    shutil.rmtree(out, ignore_errors=True)
    run([args.convert, '--to', 'pst', '-o', out, libical])  # some of its events fail alone (no DTSTART)
    stores = glob.glob(os.path.join(out, '**', '*.pst'), recursive=True)
    if check(len(stores) == 1, f'libical: {len(stores)} stores'):
        check(check_store('libical', stores[0], args, None), 'libical: no exception found')
    # The .msg: one name map per file, for the exception too.
    out = convert(args, 'msg', [files['moved']], '--to', 'msg')
    msgs = glob.glob(os.path.join(out, '**', 'Appointment-1.msg'), recursive=True)
    if check(len(msgs) == 1, f'msg: {msgs}'):
        got = msg_exception_time(msgs[0])
        check([got] == one, f'msg: PidLidExceptionReplaceTime of the exception {got}, expected {one}')
    return finish()


if __name__ == '__main__':
    sys.exit(main())
