#!/usr/bin/python3
"""Interop checks of sorting by labels in the languages of the exports.

brimvault-convert --by-label converts the mailboxes of tests/data/labels-world (one per
account language, their labels fields as those exports write them: the whole list in
encoded words, folded inside a label and inside a character, quoted labels with doubled
quotes), then independent readers read the result back:
  --kind eml, emlx  each message in its label folder; .emlx read and flagged bits;
  --kind msg        read flag, follow-up flag and categories by olefile;
  --kind pst        folders, read and follow-up flags and categories by pypff; folders
                    and read status by readpst -j 0.
"""
import argparse
import collections
import glob
import os
import re
import shutil
import subprocess
import sys

import pypff

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import labels_interop as li  # noqa: E402
from labels_interop import FAILURES, check  # noqa: E402

GERMAN = "Alle E-Mails einschliesslich Spam-Nachrichten und E"
NBSP = "\u00a0"
# Message number -> (mailbox, folder below the mailbox's folder, unread, starred, categories)
EXPECTED = {
    1: (GERMAN, "Inbox", True, False, ["Projekte/Köln"]),
    2: (GERMAN, "Sent Items", False, False, ["Wichtig", "Sent"]),  # "Sent" is English: a user label here
    3: (GERMAN, "Deleted Items", False, False, ['Kategorie: "Persönlich"', "Reisen"]),
    4: (GERMAN, "Drafts", False, True, []),
    5: (GERMAN, "Trash", False, False, ["Trash"]),
    6: ("fr", "Inbox", True, False, ["Catégorie" + NBSP + ": E-mails personnels", "Culture, associations"]),
    7: ("fr", "Sent Items", False, False, ["Important"]),
    8: ("fr", "Drafts", False, False, []),
    9: ("fr", "Deleted Items", False, False, []),
    10: ("es", "Inbox", True, False, ["Categoría: Social"]),
    11: ("es", "Sent Items", False, False, ["Importante"]),
    12: ("es", "Drafts", False, False, []),
    13: ("es", "Deleted Items", False, False, ["Facturas"]),
    14: ("ca", "Inbox", True, False, ["Categoria Promocions"]),
    15: ("ca", "Sent Items", False, False, ["Importants"]),
    16: ("ca", "Deleted Items", False, False, []),
    17: ("cs", "Inbox", True, False, ["Důležité"]),
    18: ("cs", "Sent Items", False, False, ["Práce"]),
    19: ("it", "Lavoro", True, False, ["Lavoro"]),
    20: ("it", "Inbox", True, False, []),
    21: ("nl", "Werk", False, False, ["Werk"]),
    22: ("nl", "Inbox", False, False, []),
    23: ("en", "Inbox", True, False, []),  # Muted and IMAP_ keywords: nothing
    24: ("en", "Inbox", True, False, ["Café"]),
    25: ("en", "Gesendet", False, False, ["Gesendet"]),  # German in an English account: a user label
    26: ("en", "Sent Items", False, True, []),
}
TOP = "Top of Personal Folders"


def convert(tool, dest, inputs, kind):
    single = ["--single-pst"] if kind == "pst" else []
    r = subprocess.run([tool, "--to", kind, *single, "--by-label", "-o", dest, *inputs], capture_output=True, text=True)
    check(r.returncode == 0, f"brimvault-convert --to {kind}: {r.stdout[-300:]} {r.stderr.strip()[-300:]}")


def written(dest, inputs, pattern):
    """(mailbox, folder below its folder, path, number in the mailbox) of every file
    below the mailboxes' folders."""
    out = []
    for mailbox in inputs:
        root = li.mailbox_folder(dest, mailbox)
        for d, _dirs, files in os.walk(root):
            for f in files:
                m = re.fullmatch(pattern, f)
                check(m, f"unexpected file {os.path.join(d, f)}")
                if m:
                    out.append((os.path.splitext(os.path.basename(mailbox))[0], os.path.relpath(d, root),
                                os.path.join(d, f), int(m.group(1))))
    return out


def check_files(dest, inputs, kind):
    pattern = r"Email-(\d+)\.msg" if kind == "msg" else r"email-(\d+)\." + kind
    first = {}
    for n, e in EXPECTED.items():
        first.setdefault(e[0], n)
    seen = collections.Counter()
    for mailbox, folder, path, k in written(dest, inputs, pattern):
        n = first.get(mailbox, 0) + k - 1
        if not check(n in EXPECTED and EXPECTED[n][0] == mailbox, f"unexpected {path}"):
            continue
        seen[n] += 1
        _box, want, unread, starred, cats = EXPECTED[n]
        check(folder == os.path.join(*want.split("/")), f"message {n}: in {folder}, expected {want}")
        if kind == "emlx":
            flags = li.emlx_flags(path)
            check(bool(flags & 1) != unread and bool(flags & 0x10) == starred, f"message {n}: .emlx flags {flags:#x}")
        elif kind == "msg":
            flags, status, _icon, _request, got = li.read_msg(path)
            check(bool(flags & 1) != unread, f"message {n}: .msg flags {flags:#x}")
            check((status == 2) == starred, f"message {n}: .msg flag status {status}")
            check((got or []) == cats, f"message {n}: .msg categories {got}, expected {cats}")
        else:
            with open(path, "rb") as fh:
                check(f"Subject: {n} ".encode() in fh.read(4096), f"message {n}: {path} holds another message")
    check(sorted(seen) == sorted(EXPECTED) and set(seen.values()) == {1}, f"{kind}: messages {dict(seen)}")


def pypff_categories(message):
    """The values of the message's multi-valued string named property. pypff does not
    resolve names; our messages carry one such property, Keywords (the categories)."""
    values = []
    rs = message.get_record_set(0)
    for e in range(rs.number_of_entries):
        entry = rs.get_entry(e)
        if entry.entry_type >= 0x8000 and entry.value_type == 0x101F:
            check(not values, "pypff: two multi-valued named strings")
            values = parse_multi(entry.data)
    return values


def parse_multi(data):
    import struct
    count = struct.unpack_from("<I", data, 0)[0]
    offsets = [struct.unpack_from("<I", data, 4 + 4 * i)[0] for i in range(count)] + [len(data)]
    return [data[offsets[i]:offsets[i + 1]].decode("utf-16-le").rstrip("\0") for i in range(count)]


def check_pst(path, work):
    f = pypff.file()
    f.open(path)
    seen = collections.Counter()

    def walk(folder, parts):
        for i in range(folder.number_of_sub_folders):
            sub = folder.get_sub_folder(i)
            p = parts + (sub.name,)
            for k in range(sub.number_of_sub_messages):
                m = sub.get_sub_message(k)
                n = li.number(m.subject)
                if not check(n in EXPECTED, f"pypff: unexpected message {m.subject!r}"):
                    continue
                seen[n] += 1
                box, want, unread, starred, cats = EXPECTED[n]
                check(p == (TOP, box, *want.split("/")), f"pypff: message {n} in {'/'.join(p)}")
                props = {}
                rs = m.get_record_set(0)
                for e in range(rs.number_of_entries):
                    entry = rs.get_entry(e)
                    if entry.entry_type in (0x0E07, 0x1090):
                        props[entry.entry_type] = entry.get_data_as_integer()
                check(bool(props.get(0x0E07, 0) & 1) != unread, f"pypff: message {n} flags {props.get(0x0E07)}")
                check((props.get(0x1090) == 2) == starred, f"pypff: message {n} flag status {props.get(0x1090)}")
                got = pypff_categories(m)
                check(got == cats, f"pypff: message {n} categories {got}, expected {cats}")
            walk(sub, p)

    walk(f.get_root_folder(), ())
    f.close()
    check(sorted(seen) == sorted(EXPECTED) and set(seen.values()) == {1}, f"pypff: messages {dict(seen)}")

    out = os.path.join(work, "readpst")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    r = subprocess.run(["readpst", "-j", "0", "-D", "-M", "-o", out, path], capture_output=True, text=True)
    if not check(r.returncode == 0, f"readpst: {(r.stdout + r.stderr)[-300:]}"):
        return
    found = {}
    for d, _dirs, files in os.walk(out):
        for name in files:
            with open(os.path.join(d, name), encoding="utf-8", errors="replace") as fh:
                text = fh.read()
            m = re.search(r"^Subject: (\d+) ", text, re.M)
            if m:
                found[int(m.group(1))] = (os.path.relpath(d, out), text)
    check(len(found) == len(EXPECTED), f"readpst: {len(found)} messages")
    for n, (box, want, unread, _s, _c) in EXPECTED.items():
        if n not in found:
            continue
        folder, text = found[n]
        check(folder.endswith(os.path.join(box, *want.split("/"))), f"readpst: message {n} in {folder}")
        check(("Status: RO" in text) != unread, f"readpst: read status of message {n}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kind", choices=["eml", "emlx", "msg", "pst"], required=True)
    ap.add_argument("--convert", required=True)
    ap.add_argument("--data", required=True, help="tests/data/labels-world")
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(os.path.join(args.work, "in"))
    inputs = []
    for path in sorted(glob.glob(os.path.join(args.data, "*.mbox"))):
        inputs.append(shutil.copy(path, os.path.join(args.work, "in")))
    dest = os.path.join(args.work, "out")
    convert(args.convert, dest, inputs, args.kind)
    if args.kind == "pst":
        stores = glob.glob(os.path.join(dest, "*.pst"))
        if check(len(stores) == 1, f"stores {stores}"):
            check_pst(stores[0], args.work)
    else:
        check_files(dest, inputs, args.kind)
    for f in FAILURES:
        print(f, file=sys.stderr)
    print(f"{args.kind}: {len(EXPECTED)} messages checked, {len(FAILURES)} failures")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
