#!/usr/bin/python3
"""Interop check of sorting by labels in .msg files.

labels_tool writes every message of tests/data/labels.mbox as
OUT/<label folder>/email-N.msg. Each file is then read by readers of our own making
here (olefile: the name-to-id map resolved by hand, the property stream, the
multi-valued category streams), converted back by msgconvert, and, when a folder
holding @kenjiuno/msgreader is given, read by that reader's named-property parser.
Checked per message: the folder, the read flag, the follow-up flag and the categories.
"""
import argparse
import base64
import json
import os
import shutil
import struct
import subprocess
import sys

import olefile

PS_PUBLIC_STRINGS = bytes.fromhex("2903020000000000c000000000000046")
PSETID_COMMON = bytes.fromhex("0820060000000000c000000000000046")
PS_MAPI = bytes.fromhex("2803020000000000c000000000000046")

# Message number -> (folder below the mailbox folder on disk, unread, starred, categories)
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
    24: ("Bills_ 2026_", False, False, ["Bills: 2026?"]),
    25: ("_/_/etc/CON_", False, False, ["../../etc/CON"]),
}

FAILURES = []


def fail(case, what):
    FAILURES.append(f"message {case}: {what}")


def name_map(ole):
    """Property id -> (GUID bytes, LID or string name), from __nameid_version1.0."""
    def stream(name):
        path = "__nameid_version1.0/" + name
        return ole.openstream(path).read() if ole.exists(path) else b""
    guids = stream("__substg1.0_00020102")
    entries = stream("__substg1.0_00030102")
    strings = stream("__substg1.0_00040102")
    out = {}
    for off in range(0, len(entries) - 7, 8):
        key, info = struct.unpack_from("<II", entries, off)
        kind, guid_index, index = info & 1, (info >> 1) & 0x7FFF, info >> 16
        guid = {1: PS_MAPI, 2: PS_PUBLIC_STRINGS}.get(guid_index) or guids[16 * (guid_index - 3):16 * (guid_index - 2)]
        if kind:
            (length,) = struct.unpack_from("<I", strings, key)
            name = strings[key + 4:key + 4 + length].decode("utf-16-le")
        else:
            name = key
        out[0x8000 + index] = (guid, name)
    return out


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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--mailbox", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--msgreader", help="node_modules folder holding @kenjiuno/msgreader")
    args = ap.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    out = os.path.join(args.work, "labels.mbox")
    r = subprocess.run([args.tool, "msg", args.mailbox, out], capture_output=True, text=True)
    if r.returncode != 0:
        print(r.stderr, file=sys.stderr)
        return 1
    written = {int(n): p for n, p in (line.split("\t", 1) for line in r.stdout.splitlines())}
    if sorted(written) != sorted(EXPECTED):
        print(f"messages written: {sorted(written)}", file=sys.stderr)
        return 1

    for n, (folder, unread, starred, categories) in EXPECTED.items():
        path = written[n]
        want_path = os.path.join(out, *folder.split("/"), f"email-{n}.msg")
        if path != want_path or not os.path.isfile(want_path):
            fail(n, f"written to {path}, expected {want_path}")
            continue
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

    if args.msgreader:
        read = msgreader_named(args.msgreader, [written[n] for n in EXPECTED])
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

    for f in FAILURES:
        print(f, file=sys.stderr)
    print(f"{len(EXPECTED)} messages checked, {len(FAILURES)} failures")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
