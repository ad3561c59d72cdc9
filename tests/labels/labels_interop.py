#!/usr/bin/python3
"""Interop checks of sorting by labels, end to end.

brimvault-convert --by-label converts tests/data/labels.mbox, then independent readers
read the result back:
  --kind eml, emlx  every message in its label folder below the mailbox's folder (names
                    made safe on disk), nothing else there; .emlx read and flagged bits;
  --kind msg        the Email-N.msg files there, read by olefile (the name-to-id map
                    resolved here), msgconvert and @kenjiuno/msgreader: read flag,
                    follow-up flag and categories per message;
  --kind pst        the mailbox's store, read by pypff (folders, counts, read and
                    follow-up flags), pffexport (folders, counts, read flag, categories
                    among the item values), readpst -j 0 (counts and read status per
                    folder) and pst-extractor (folders and categories);
  --kind stores     the store modes: one store for three mailboxes (two of one name) and
                    a second run adding to a mailbox's store: label folders reused,
                    never duplicated (stores in parts: interop_pst_split).
Every run's messages-per-folder table on stdout is checked against the expected counts.
"""
import argparse
import base64
import collections
import json
import os
import re
import shutil
import struct
import subprocess
import sys

import olefile
import pypff

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from interop_common import FAILURES, PS_MAPI, PS_PUBLIC_STRINGS, PSETID_COMMON, check, name_entries  # noqa: E402,F401

TOP = "Top of Personal Folders"
MAILBOX = "labels"

# Message number -> (folder below the mailbox's folder, unread, starred, categories)
EXPECTED = {
    1: ("Inbox", True, False, ["Work"]),
    2: ("Deleted Items", False, False, []),
    3: ("Junk Email", False, False, []),
    4: ("Drafts", False, False, []),
    5: ("Drafts", False, False, []),
    6: ("Sent Items", False, False, []),
    7: ("Inbox", False, False, []),
    8: ("Chats", False, False, ["Family"]),
    9: ("Work/Projects", False, False, ["Work/Projects", "Personal"]),
    10: ("Clients, Europe", False, True, ["Clients, Europe"]),
    11: ("Reçus, 2026", False, False, ["Reçus, 2026"]),
    12: ("Письма/Важное", False, False, ["Письма/Важное"]),
    13: ("Inbox", False, False, ["Über/Straße"]),
    14: ("Archive", False, False, []),
    15: ("Projects", True, False, ["Projects"]),
    16: ("Archive", True, True, []),
    17: ("Archive", False, False, ["Important"]),
    18: ("Archive", False, False, ["Category Travel"]),
    19: ("Receipts", False, False, ["Important", "Category Updates", "Receipts"]),
    20: ("Inbox", True, True, []),
    21: ("Sent Items", False, False, ["Work, Q3"]),
    22: ("Inbox", False, False, ["Kept"]),
    23: ("Archive", False, False, []),
    24: ("Bills: 2026?", False, False, ["Bills: 2026?"]),
    25: ("../../etc/CON", False, False, ["../../etc/CON"]),
}
# The folder on disk where it differs from the store's (names made safe).
ON_DISK = {24: "Bills_ 2026_", 25: "_/_/etc/CON_"}
COUNTS = collections.Counter(e[0] for e in EXPECTED.values())

def fail(case, what):
    FAILURES.append(f"message {case}: {what}")


def plain(folder):
    """True when every segment is a name any reader writes to disk as it is."""
    return all(re.fullmatch(r"[\w ,]+", part) for part in folder.split("/"))


# ----------------------------------------------------------------------------- .msg

def name_map(ole):
    """Property id -> (GUID bytes, LID or string name), from __nameid_version1.0."""
    def stream(name):
        path = "__nameid_version1.0/" + name
        return ole.openstream(path).read() if ole.exists(path) else b""
    return name_entries(stream("__substg1.0_00020102"), stream("__substg1.0_00030102"), stream("__substg1.0_00040102"))


def read_msg(path):
    """(message flags, flag status, follow-up icon, flag request, categories) of a .msg."""
    with olefile.OleFileIO(path) as ole:
        names = {v: k for k, v in name_map(ole).items()}
        props = ole.openstream("__properties_version1.0").read()
        fixed = {}
        for off in range(32, len(props) - 15, 16):
            tag, _flags, value = struct.unpack_from("<IIQ", props, off)
            fixed[tag] = value

        def text(tag):
            name = "__substg1.0_%08X" % tag
            return ole.openstream(name).read().decode("utf-16-le") if ole.exists(name) else None

        categories = None
        kid = names.get((PS_PUBLIC_STRINGS, "Keywords"))
        if kid is not None:
            tag = kid << 16 | 0x101F
            if tag not in fixed:
                raise AssertionError("Keywords mapped but not in the property stream")
            lengths = ole.openstream("__substg1.0_%08X" % tag).read()
            categories = []
            for i in range(len(lengths) // 4):
                raw = ole.openstream("__substg1.0_%08X-%08X" % (tag, i)).read()
                categories.append(raw.decode("utf-16-le").rstrip("\0"))
        rid = names.get((PSETID_COMMON, 0x8530))
        request = text(rid << 16 | 0x001F) if rid is not None else None
        return (fixed.get(0x0E070003, 0), fixed.get(0x10900003), fixed.get(0x10950003), request, categories)


def msgreader_named(msgreader, files):
    """Named properties as @kenjiuno/msgreader reads them: file -> {name or lid: value}."""
    script = """
const fs = require('fs');
const MsgReader = require('@kenjiuno/msgreader').default;
const out = {};
for (const f of process.argv.slice(1)) {
  const r = new MsgReader(fs.readFileSync(f));
  r.parserConfig = {includeRawProps: true};
  const d = r.getFileData();
  // A LID is reported with its property set; a string name alone. A multi-valued
  // string comes as its raw streams (the lengths, the entry's value field, each value).
  const named = {};
  for (const p of d.rawProps || []) {
    const key = p.propertyName !== undefined ? p.propertyName : p.propertyLid ? p.propertySet + ':' + p.propertyLid : null;
    if (key === null) continue;
    const value = typeof p.value === 'string' ? p.value : Buffer.from(Object.values(p.value)).toString('base64');
    (named[key] = named[key] || []).push(value);
  }
  out[f] = {error: d.error, named: named, messageFlags: d.messageFlags};
}
process.stdout.write(JSON.stringify(out));
"""
    env = dict(os.environ, NODE_PATH=msgreader)
    r = subprocess.run(["node", "-e", script, *files], capture_output=True, text=True, env=env)
    if r.returncode != 0:
        FAILURES.append(f"msgreader failed: {r.stderr.strip()[:300]}")
        return {}
    return json.loads(r.stdout)


def files_in(mailbox_folder, name):
    """Message number -> path of every file below the mailbox's folder, checking that
    each is where its labels put it and that nothing else is there."""
    found = {}
    for d, _dirs, files in os.walk(mailbox_folder):
        for f in files:
            m = re.fullmatch(name.replace("N", r"(\d+)").replace(".", r"\."), f)
            n = int(m.group(1)) if m else None
            if not check(n in EXPECTED, f"unexpected file {os.path.join(d, f)}"):
                continue
            found[n] = os.path.join(d, f)
    check(sorted(found) == sorted(EXPECTED), f"messages written: {sorted(found)}")
    for n, path in found.items():
        want = os.path.join(mailbox_folder, *ON_DISK.get(n, EXPECTED[n][0]).split("/"), name.replace("N", str(n)))
        check(path == want, f"message {n}: written to {path}, expected {want}")
    return found


def emlx_flags(path):
    with open(path, "rb") as fh:
        data = fh.read()
    length, _, rest = data.partition(b"\n")
    plist = rest[int(length):].decode()
    m = re.search(r"<key>flags</key>\s*<integer>(\d+)</integer>", plist)
    return int(m.group(1)) if m else None


def check_files(mailbox_folder, kind):
    found = files_in(mailbox_folder, "email-N." + kind)
    for n, path in found.items():
        with open(path, "rb") as fh:
            head = fh.read(4096)
        check(f"Subject: {n} ".encode() in head, f"message {n}: {path} holds another message")
        if kind == "emlx":
            _folder, unread, starred, _c = EXPECTED[n]
            flags = emlx_flags(path)
            if check(flags is not None, f"message {n}: no flags in the property list"):
                check(bool(flags & 1) != unread, f"message {n}: .emlx read bit in flags {flags:#x}")
                check(bool(flags & 0x10) == starred, f"message {n}: .emlx flagged bit in flags {flags:#x}")


def check_msg(mailbox_folder, msgreader):
    written = files_in(mailbox_folder, "Email-N.msg")
    if sorted(written) != sorted(EXPECTED):
        return
    for n, (folder, unread, starred, categories) in EXPECTED.items():
        path = written[n]
        flags, status, icon, request, cats = read_msg(path)
        if bool(flags & 1) == unread:
            fail(n, f"PR_MESSAGE_FLAGS {flags:#x}, unread expected {unread}")
        if starred and (status, icon, request) != (2, 6, "Follow up"):
            fail(n, f"follow-up flag {status}, icon {icon}, request {request!r}")
        if not starred and (status, icon, request) != (None, None, None):
            fail(n, f"unexpected follow-up flag {status}, {icon}, {request!r}")
        if (cats or []) != categories:
            fail(n, f"categories {cats}, expected {categories}")
        eml = subprocess.run(["msgconvert", "--outfile", "-", path], capture_output=True)
        if eml.returncode != 0 or f"Message {n}:".encode() not in eml.stdout:
            fail(n, f"msgconvert: {eml.stderr.decode(errors='replace').strip()[:200]}")

    if msgreader:
        read = msgreader_named(msgreader, [written[n] for n in EXPECTED])
        for n, (_folder, _unread, starred, categories) in EXPECTED.items():
            got = read.get(written[n], {})
            named = got.get("named", {})
            if got.get("error"):
                fail(n, f"msgreader: {got['error']}")
            streams = [base64.b64decode(v) for v in named.get("Keywords", [])]
            wanted = [(c + "\0").encode("utf-16-le") for c in categories]
            if (len(streams) != len(wanted) + 2 if wanted else streams) or any(w not in streams for w in wanted):
                fail(n, f"msgreader Keywords streams {streams}, expected categories {categories}")
            request = named.get("00062008-0000-0000-c000-000000000046:00008530")
            if (request == ["Follow up"]) != starred:
                fail(n, f"msgreader flag request {request!r}")


# ----------------------------------------------------------------------------- .pst

def number(subject):
    m = re.match(r"(\d+) ", subject or "")
    return int(m.group(1)) if m else None


def pypff_tree(path):
    """Folder path (tuple of names from the root) -> [(message number, flags, flag
    status, follow-up icon)], after checking that no folder has two sub-folders of one name."""
    f = pypff.file()
    f.open(path)
    tree = {}

    def walk(folder, parts):
        names = []
        for i in range(folder.get_number_of_sub_folders()):
            sub = folder.get_sub_folder(i)
            names.append(sub.name)
            p = parts + (sub.name,)
            tree[p] = []
            for k in range(sub.get_number_of_sub_messages()):
                m = sub.get_sub_message(k)
                props = {}
                rs = m.get_record_set(0)
                for e in range(rs.get_number_of_entries()):
                    entry = rs.get_entry(e)
                    if entry.entry_type in (0x0E07, 0x1090, 0x1095):
                        props[entry.entry_type] = entry.get_data_as_integer()
                tree[p].append((number(m.subject), props.get(0x0E07, 0), props.get(0x1090), props.get(0x1095)))
            walk(sub, p)
        dups = [n for n, c in collections.Counter(names).items() if c > 1]
        check(not dups, f"pypff: {path}: folder {'/'.join(parts)} has duplicated sub-folders {dups}")

    walk(f.get_root_folder(), ())
    f.close()
    return tree


def label_folders(tree, mailbox):
    """Label folder ("Work/Projects") -> messages, below the mailbox's folder."""
    top = (TOP, mailbox)
    return {"/".join(p[2:]): v for p, v in tree.items() if p[:2] == top and len(p) > 2 and v}


def check_pypff(path, mailbox, times=1):
    """The mailbox's label folders hold the messages `times` over (one run or more)."""
    found = label_folders(pypff_tree(path), mailbox)
    for folder, messages in found.items():
        for n, flags, status, icon in messages:
            if not check(n in EXPECTED and EXPECTED[n][0] == folder, f"pypff: message {n} in {folder}"):
                continue
            _folder, unread, starred, _categories = EXPECTED[n]
            check(bool(flags & 1) != unread, f"pypff: message {n} flags {flags}")
            want = (2, 6) if starred else (None, None)
            check((status, icon) == want, f"pypff: message {n} follow-up {status}, icon {icon}")
    got = {k: len(v) for k, v in found.items()}
    check(got == {k: v * times for k, v in COUNTS.items()}, f"pypff: {path}: counts {got}")


def check_pst_extractor(path, mailbox, js_readers):
    """Folders and categories (Keywords) as pst-extractor reads them."""
    script = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "readers",
                          "pst_extractor_dump.js")
    r = subprocess.run(["node", script, path], capture_output=True, text=True,
                       env=dict(os.environ, NODE_PATH=js_readers))
    if not check(r.returncode == 0, f"pst-extractor failed: {r.stderr.strip()[:300]}"):
        return
    result = json.loads(r.stdout)[path]
    if not check("folders" in result and not result["logged"], f"pst-extractor: {str(result)[:300]}"):
        return
    prefix = f"/{TOP}/{mailbox}/"
    seen = collections.Counter()
    for folder in result["folders"]:
        if not folder["path"].startswith(prefix):
            continue
        name = folder["path"][len(prefix):]
        for m in folder["messages"]:
            n = number(m["subject"])
            if not check(n in EXPECTED and EXPECTED[n][0] == name, f"pst-extractor: message {n} in {name}"):
                continue
            seen[n] += 1
            cats = m["named"].get("Keywords", [])
            check(cats == EXPECTED[n][3], f"pst-extractor: message {n} categories {cats}, expected {EXPECTED[n][3]}")
    check(sorted(seen) == sorted(EXPECTED) and set(seen.values()) == {1}, f"pst-extractor: messages {dict(seen)}")


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
        if plain(want):
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
    root = os.path.join(out_dir, MAILBOX, MAILBOX)  # the store is named after its mailbox
    for n, (folder, unread, _s, _c) in EXPECTED.items():
        if not plain(folder):
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


def convert(tool, dest, inputs, *options):
    """Runs brimvault-convert --by-label; returns its messages-per-folder table."""
    r = subprocess.run([tool, *options, "--by-label", "-o", dest, *inputs], capture_output=True, text=True)
    if not check(r.returncode == 0, f"brimvault-convert {' '.join(options)}: {r.stderr.strip()[-300:]}"):
        return {}
    lines = r.stdout.splitlines()
    if not check("Messages per folder:" in lines, f"no messages per folder in {r.stdout!r}"):
        return {}
    table = lines[lines.index("Messages per folder:") + 1:]
    check(table and table[0].split() == ["Folder", "Messages"], f"table heading {table[:1]}")
    counts = {}
    for line in table[1:]:
        m = re.fullmatch(r"(.*?) +(\d+)", line)
        if check(m, f"table line {line!r}"):
            counts[m.group(1)] = int(m.group(2))
    return counts


def check_table(counts, times, what):
    check(counts == {k: v * times for k, v in COUNTS.items()}, f"{what}: messages per folder {counts}")


def mailbox_folder(dest, mailbox):
    """The mailbox's output folder: its path mirrored below the destination."""
    return os.path.join(dest, os.path.abspath(mailbox).lstrip(os.sep))


def check_store_modes(tool, mailbox, work):
    # One store for three mailboxes, two of them of one name: each mailbox's folder gets
    # its label folders; the two of one name are told apart by the folders they lie in.
    second = os.path.join(os.path.dirname(mailbox), "second.mbox")
    again = os.path.join(os.path.dirname(mailbox), "again", MAILBOX + ".mbox")
    os.makedirs(os.path.dirname(again))
    shutil.copy(mailbox, second)
    shutil.copy(mailbox, again)
    dest = os.path.join(work, "single")
    # The three hold the same messages: each is stored once, where the first put it.
    check_table(convert(tool, dest, [mailbox, second, again], "--to", "pst", "--single-pst"), 1, "single store")
    stores = [f for f in os.listdir(dest) if f.endswith(".pst")]
    if check(len(stores) == 1, f"single store: {stores}"):
        first = "%s (%s)" % (MAILBOX, os.path.basename(os.path.dirname(mailbox)))
        check_pypff(os.path.join(dest, stores[0]), first)
        found = label_folders(pypff_tree(os.path.join(dest, stores[0])), "second")
        check(not found, f"single store: copies stored again under second: {found}")

    # A second run finds every message in the mailbox's store and adds none.
    dest = os.path.join(work, "append")
    check_table(convert(tool, dest, [mailbox], "--to", "pst"), 1, "store per mailbox")
    r = subprocess.run([tool, "--to", "pst", "--by-label", "-o", dest, mailbox], capture_output=True, text=True)
    check(r.returncode == 0 and "; all %d message(s) already there" % sum(COUNTS.values()) in r.stdout,
          f"store per mailbox, run again: {r.stdout[-400:]} {r.stderr[-300:]}")
    check_pypff(os.path.join(dest, MAILBOX + ".pst"), MAILBOX)

    # Stores in parts sorted by labels: interop_pst_split (every part, every message's
    # folder, flags and categories).


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kind", choices=["eml", "emlx", "msg", "pst", "stores"], required=True)
    ap.add_argument("--convert", required=True, help="brimvault-convert")
    ap.add_argument("--mailbox", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--js-readers", help="node_modules holding @kenjiuno/msgreader and pst-extractor")
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(os.path.join(args.work, "in"))
    mailbox = os.path.join(args.work, "in", MAILBOX + ".mbox")
    shutil.copy(args.mailbox, mailbox)
    dest = os.path.join(args.work, "out")
    if args.kind == "stores":
        check_store_modes(args.convert, mailbox, args.work)
    else:
        check_table(convert(args.convert, dest, [mailbox], "--to", args.kind), 1, args.kind)
    if args.kind in ("eml", "emlx"):
        check_files(mailbox_folder(dest, mailbox), args.kind)
    elif args.kind == "msg":
        check_msg(mailbox_folder(dest, mailbox), args.js_readers)
    elif args.kind == "pst":
        store = os.path.join(dest, MAILBOX + ".pst")
        check_pypff(store, MAILBOX)
        check_pffexport(store, args.work)
        check_readpst(store, args.work)
        if args.js_readers:
            check_pst_extractor(store, MAILBOX, args.js_readers)
    for f in FAILURES:
        print(f, file=sys.stderr)
    print(f"{args.kind}: {len(EXPECTED)} messages checked, {len(FAILURES)} failures")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
