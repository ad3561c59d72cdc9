#!/usr/bin/python3
"""Interop check of sorting by labels in a .pst store.

labels_tool writes every message of tests/data/labels.mbox into the folder "labels"
of a new store, below it the folder its labels choose. The store is then read by
pypff (folders, counts, read flag, follow-up flag of each message), pffexport (folders,
counts, read flag) and readpst -j 0 (counts and read status per folder).
"""
import argparse
import collections
import os
import re
import shutil
import subprocess
import sys

import pypff

TOP = "Top of Personal Folders"
MAILBOX = "labels"

# Message number -> (store folder below the mailbox folder, unread, starred)
EXPECTED = {
    1: ("Inbox", True, False), 2: ("Deleted Items", False, False), 3: ("Junk Email", False, False),
    4: ("Drafts", False, False), 5: ("Drafts", False, False), 6: ("Sent Items", False, False),
    7: ("Inbox", False, False), 8: ("Chats", False, False), 9: ("Work/Projects", False, False),
    10: ("Clients, Europe", False, True), 11: ("Reçus, 2026", False, False),
    12: ("Письма/Важное", False, False), 13: ("Inbox", False, False), 14: ("Archive", False, False),
    15: ("Projects", True, False), 16: ("Archive", True, True), 17: ("Archive", False, False),
    18: ("Archive", False, False), 19: ("Receipts", False, False), 20: ("Inbox", True, True),
    21: ("Sent Items", False, False), 22: ("Inbox", False, False), 23: ("Archive", False, False),
    24: ("Bills: 2026?", False, False), 25: ("../../etc/CON", False, False),
}
COUNTS = collections.Counter(folder for folder, _u, _s in EXPECTED.values())
FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
    return cond


def number(subject):
    m = re.match(r"(\d+) ", subject or "")
    return int(m.group(1)) if m else None


def check_pypff(path):
    f = pypff.file()
    f.open(path)
    found = {}  # folder below the mailbox folder -> message numbers

    def walk(folder, parts):
        for i in range(folder.get_number_of_sub_folders()):
            sub = folder.get_sub_folder(i)
            p = parts + [sub.name]
            if p[:2] == [TOP, MAILBOX] and len(p) > 2:
                key = "/".join(p[2:])
                found[key] = []
                for k in range(sub.get_number_of_sub_messages()):
                    m = sub.get_sub_message(k)
                    n = number(m.subject)
                    found[key].append(n)
                    props = {}
                    rs = m.get_record_set(0)
                    for e in range(rs.get_number_of_entries()):
                        entry = rs.get_entry(e)
                        if entry.entry_type in (0x0E07, 0x1090, 0x1095):
                            props[entry.entry_type] = entry.get_data_as_integer()
                    if n not in EXPECTED:
                        check(False, f"pypff: unexpected message {m.subject!r} in {key}")
                        continue
                    _folder, unread, starred = EXPECTED[n]
                    check(bool(props.get(0x0E07, 0) & 1) != unread, f"pypff: message {n} flags {props.get(0x0E07)}")
                    want = (2, 6) if starred else (None, None)
                    check((props.get(0x1090), props.get(0x1095)) == want,
                          f"pypff: message {n} follow-up {props.get(0x1090)}, icon {props.get(0x1095)}")
            walk(sub, p)

    walk(f.get_root_folder(), [])
    f.close()
    for n, (folder, _u, _s) in EXPECTED.items():
        check(n in found.get(folder, []), f"pypff: message {n} not in {folder}")
    got = {k: len(v) for k, v in found.items() if v}
    check(got == dict(COUNTS), f"pypff: counts {got}")


def check_pffexport(path, work):
    target = os.path.join(work, "pffexport")
    shutil.rmtree(target + ".export", ignore_errors=True)
    r = subprocess.run(["pffexport", "-q", "-t", target, path], capture_output=True, text=True)
    if not check(r.returncode == 0, f"pffexport failed: {r.stderr.strip()[:300]}"):
        return
    root = os.path.join(target + ".export", TOP, MAILBOX)
    seen = collections.Counter()
    for d, _dirs, files in os.walk(root):
        if "OutlookHeaders.txt" not in files:
            continue
        with open(os.path.join(d, "OutlookHeaders.txt"), encoding="utf-8", errors="replace") as fh:
            headers = fh.read()
        subject = re.search(r"^Subject:\s*(.*)$", headers, re.M)
        n = number(subject.group(1).strip() if subject else "")
        flags = re.search(r"^Flags:\s*(0x[0-9a-fA-F]+)", headers, re.M)
        if not check(n in EXPECTED and flags, f"pffexport: unexpected message in {d}"):
            continue
        seen[n] += 1
        check(bool(int(flags.group(1), 16) & 1) != EXPECTED[n][1], f"pffexport: read flag of message {n}")
        # pffexport names folders after the store's names (or FolderNNNNN when unsafe)
        # and puts each message in MessageNNNNN: count per parent folder.
        folder = os.path.relpath(os.path.dirname(d), root)
        want = EXPECTED[n][0]
        if all(re.fullmatch(r"[\w ,]+", part) for part in want.split("/")):
            check(folder == os.path.join(*want.split("/")), f"pffexport: message {n} in {folder}, expected {want}")
    check(sorted(seen) == sorted(EXPECTED) and set(seen.values()) == {1}, f"pffexport: messages {dict(seen)}")


def check_readpst(path, work):
    out_dir = os.path.join(work, "readpst")
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    r = subprocess.run(["readpst", "-j", "0", "-D", "-M", "-o", out_dir, path], capture_output=True, text=True)
    log = r.stdout + r.stderr
    if not check(r.returncode == 0 and "skipped" not in log.replace("0 items skipped", ""), f"readpst: {log[-300:]}"):
        return
    root = os.path.join(out_dir, "Labels Test Store", MAILBOX)
    for n, (folder, unread, _s) in EXPECTED.items():
        if not all(re.fullmatch(r"[\w ,]+", part) for part in folder.split("/")):
            continue  # readpst renames folders it cannot write as they are
        d = os.path.join(root, *folder.split("/"))
        texts = []
        if os.path.isdir(d):
            for name in os.listdir(d):
                p = os.path.join(d, name)
                if os.path.isfile(p):
                    with open(p, encoding="utf-8", errors="replace") as fh:
                        texts.append(fh.read())
        check(len(texts) == COUNTS[folder], f"readpst: {folder} holds {len(texts)} messages")
        mine = [t for t in texts if re.search(rf"^Subject: {n} ", t, re.M)]
        if check(len(mine) == 1, f"readpst: message {n} not in {folder}"):
            check(("Status: RO" in mine[0]) != unread, f"readpst: read status of message {n}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--mailbox", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    pst = os.path.join(args.work, "labels.pst")
    r = subprocess.run([args.tool, "pst", args.mailbox, pst], capture_output=True, text=True)
    if r.returncode != 0:
        print(r.stderr, file=sys.stderr)
        return 1
    check_pypff(pst)
    check_pffexport(pst, args.work)
    check_readpst(pst, args.work)
    for f in FAILURES:
        print(f, file=sys.stderr)
    print(f"{len(EXPECTED)} messages checked, {len(FAILURES)} failures")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
