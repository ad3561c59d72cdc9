#!/usr/bin/python3
"""Fidelity of every output kind on real-world mail.

The messages of tests/data/fidelity (test data of public mail libraries, see SOURCES.md
there) are converted by brimvault-convert to .eml, .emlx, .msg and .pst, one mailbox per
message, and read back:
  .eml, .emlx  the message's bytes, unchanged;
  .msg         msgconvert (back to MIME, compared with the source as Python's email
               package reads it: subject, addresses, date, Message-ID, bodies, every
               attachment's name and bytes, attached messages) and @kenjiuno/msgreader
               (subject, sender, recipients, plain body, attachment names and sizes);
  .pst         readpst -j 0 (back to MIME, compared as for msgconvert) and pypff
               (subject, sender, plain body, attachment names and sizes).
Every difference fails the test unless it is listed in KNOWN with the reason it is the
reader's and not ours.
"""
import argparse
import email
import email.header
import json
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "interop_msg"))
import msg_interop as mi  # noqa: E402  (the source-side reading shared with the .msg interop test)

import olefile  # noqa: E402

# Differences that are the reader's, as "<kind>:<case>" -> reason.
_READPST_HEADER_AS_UTF8 = (
    "readpst writes the stored transport header as UTF-8 text inside the message's own "
    "\"=?iso-8859-1?Q?...?=\" word, whose raw 8-bit byte we stored as the character it stands "
    "for; the subject property is right: pypff reads 'Die Hasen und die Frösche' from the "
    "same .pst, msgconvert and msgreader from the .msg")
KNOWN = {f"pst (readpst):mailmimeparser/m{n}.txt": _READPST_HEADER_AS_UTF8
         for n in (2004, 2005, 2006, 2007, 2008, 2009, 2011, 2012, 2013, 2014)}
# open_differences.json: "explained" holds the differences shown to be a reader's or
# the comparison's, as "<kind>:<case>" -> why (checked on a second reader where a
# reader is blamed); "open" the ones not yet triaged, per kind, listed so that any new
# one fails the test while these are worked off (--record-open rewrites that list).
with open(os.path.join(HERE, "open_differences.json"), encoding="utf-8") as _f:
    _RECORDED = json.load(_f)
EXPLAINED = _RECORDED.get("explained", {})
OPEN = _RECORDED.get("open", {})
KNOWN.update(EXPLAINED)
STATS = {}


def messages(data_dir):
    """(case, bytes) of every message of the fidelity data, mbox files split."""
    out = []
    for root, _, files in sorted(os.walk(data_dir)):
        for fn in sorted(files):
            if fn in ("SOURCES.md", "LICENSE"):
                continue
            path = os.path.join(root, fn)
            rel = os.path.relpath(path, data_dir)
            with open(path, "rb") as f:
                data = f.read()
            if ".mbox" in fn:
                for i, m in enumerate(mi.split_mbox(data)):
                    out.append((f"{rel}#{i}", mi.strip_envelope(m)))
            else:
                out.append((rel, data))
    return out


def mailbox_bytes(data):
    """One mbox message: envelope line, body lines that would start a message escaped."""
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    data = re.sub(rb"(^|\n)From ", rb"\1>From ", data)
    if not data.endswith(b"\n"):
        data += b"\n"
    return b"From fidelity@example.com Mon Jan  1 00:00:00 2024\n" + data


def convert(tool, kind, inputs, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    r = subprocess.run([tool, "--to", kind, "-o", out_dir] + inputs, capture_output=True, text=True)
    if r.returncode not in (0, 2):  # 2: finished with warnings
        print(f"brimvault-convert --to {kind} failed ({r.returncode}): {r.stderr[-2000:]}")
    return r


def find_one(folder, suffix):
    for root, _, files in os.walk(folder):
        for fn in sorted(files):
            if fn.endswith(suffix):
                return os.path.join(root, fn)
    return None


def output_of(kind_dir, stem, suffix):
    """The message file written for mailbox `stem` (in a folder named after it)."""
    for root, dirs, _ in os.walk(kind_dir):
        if os.path.basename(root) == stem + ".mbox":
            return find_one(root, suffix)
    return None


class Kind:
    def __init__(self, name):
        self.name = name
        self.failed = {}  # case -> [differences]
        STATS[name] = self

    def fail(self, case, what):
        self.failed.setdefault(case, []).append(what)


def record(kind, case, before):
    """Moves the differences mi.compare recorded since `before` to `kind`."""
    for f in mi.FAILURES[before:]:
        kind.fail(case, f.split(": ", 1)[1] if ": " in f else f)
    del mi.FAILURES[before:]


def check_bytes(kind, case, want, path, emlx=False):
    if not path:
        kind.fail(case, "no file written")
        return
    with open(path, "rb") as f:
        got = f.read()
    if emlx:
        first = got.find(b"\n")
        length = int(got[:first].strip() or b"0")
        got = got[first + 1:first + 1 + length]
    elif got.startswith(b"From "):  # the .eml keeps the mailbox's separator line
        got = got[got.find(b"\n") + 1:]
    # (line ends are the kind's own: CR LF in .eml, LF in .emlx)
    got, want = got.replace(b"\r\n", b"\n"), want.replace(b"\r\n", b"\n")
    if got != want:
        at = next((i for i in range(min(len(got), len(want))) if got[i] != want[i]), min(len(got), len(want)))
        kind.fail(case, f"bytes differ at {at} ({len(got)} written, {len(want)} in the source): "
                        f"{got[max(0, at - 20):at + 20]!r} / {want[max(0, at - 20):at + 20]!r}")


def raw_bytes_text(value):
    """Header text Python kept as undecodable bytes, read as the importer reads header
    bytes: UTF-8 when valid, else windows-1252."""
    if value is None:
        return None
    raw = value.encode("utf-8", "surrogateescape")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp1252", "replace")


_python_decoded_header = mi.decoded_header


def decoded_header(msg, name):
    """A header as mail readers show it: raw 8-bit bytes read as the importer reads
    them (Python's compat32 reading turns them into replacement characters)."""
    raw = next((v for k, v in getattr(msg, "_headers", []) if k.lower() == name.lower()), None)
    if isinstance(raw, str) and any(0xDC80 <= ord(c) <= 0xDCFF for c in raw):
        text = raw.encode("utf-8", "surrogateescape").decode("latin-1")
        out = ""
        for part, cs in email.header.decode_header(text):
            if isinstance(part, str):
                part = part.encode("latin-1")
            if cs:
                try:
                    out += part.decode(cs, "replace")
                    continue
                except LookupError:
                    pass
            out += raw_bytes_text(part.decode("utf-8", "surrogateescape"))
        return " ".join(out.split())
    return _python_decoded_header(msg, name)


mi.decoded_header = decoded_header  # the shared comparison reads headers this way too

_python_sanitize = mi.sanitize


def stored_name(name):
    """An attachment's name as a mail reader saves it: a path's last element
    ("C:\\TEMP\\x.png" is saved as "x.png"), unsafe characters replaced."""
    base = re.split(r"[/\\]", name)[-1]
    return _python_sanitize(base or name)


mi.sanitize = stored_name  # the shared comparison names files this way too


def source_facts(src):
    """What every reader must show of a message, from the source (Python's reading)."""
    facts = {"subject": mi.decoded_header(src, "Subject"),
             "from": mi.addresses(mi.decoded_header(src, "From")),
             # the sender a reader shows is Sender's address when there is one, else From's
             "senders": mi.addresses(mi.decoded_header(src, "From")) + mi.addresses(mi.decoded_header(src, "Sender")),
             "recipients": sorted(mi.addresses(mi.decoded_header(src, "To")) + mi.addresses(mi.decoded_header(src, "Cc")))}
    plain, html = mi.choose_bodies(src)
    facts["plain"] = mi.norm_text(mi.text_of(plain)) if plain is not None and html is None else None
    body_ids = {id(p) for p in (plain, html) if p is not None}
    atts = [p for p in mi.leaves(src) if id(p) not in body_ids]
    facts["sizes"] = sorted(len(p.get_payload(decode=True) or b"") for p in atts
                            if p.get_content_maintype() not in ("message", "multipart") and not mi.b64_broken(p))
    # an unencoded part's lines end in CR LF on the wire, whatever the file kept
    facts["wire_sizes"] = {len(p.get_payload(decode=True) or b""): len((p.get_payload(decode=True) or b"").replace(
        b"\r\n", b"\n").replace(b"\n", b"\r\n")) for p in atts
        if str(p.get("Content-Transfer-Encoding", "")).strip().lower() in ("", "7bit", "8bit")}
    facts["tnef"] = any(p.get_content_type() == "application/ms-tnef" for p in mi.leaves(src))
    facts["trusted"] = bool(src.keys()) and not any(
        type(d).__name__ in ("MissingHeaderBodySeparatorDefect", "FirstHeaderLineIsContinuationDefect") for d in src.defects)
    return facts


def check_reader(kind, case, facts, subject, sender, recipients, body, sizes):
    """Fields an independent reader gave, against the source."""
    if not facts["trusted"]:
        return
    if facts["subject"] and " ".join((subject or "").split()) != facts["subject"]:
        kind.fail(case, f"subject {subject!r}, expected {facts['subject']!r}")
    if sender is not None and facts["from"] and sender.lower() not in facts["senders"]:
        kind.fail(case, f"sender {sender!r}, expected one of {facts['senders']}")
    if recipients is not None and facts["recipients"] and sorted(r.lower() for r in recipients) != facts["recipients"]:
        kind.fail(case, f"recipients {sorted(recipients)}, expected {facts['recipients']}")
    if facts["tnef"]:
        return
    if facts["plain"] is not None and body is not None and mi.norm_text(body) != facts["plain"]:
        kind.fail(case, f"body {mi.norm_text(body)[:80]!r}, expected {facts['plain'][:80]!r}")
    missing = [s for s in facts["sizes"] if s not in sizes and facts["wire_sizes"].get(s) not in sizes]
    if missing:
        kind.fail(case, f"attachment sizes {sorted(sizes)}, expected {facts['sizes']}")


def msgreader(js_readers, paths):
    if not shutil.which("node") or not os.path.isdir(os.path.join(js_readers or "", "@kenjiuno", "msgreader")):
        return None
    script = os.path.join(HERE, "..", "interop_msg", "msgreader_dump.js")
    r = subprocess.run(["node", script] + paths, capture_output=True, text=True,
                       env=dict(os.environ, NODE_PATH=js_readers))
    return json.loads(r.stdout) if r.returncode == 0 else {}


def pypff_message(path):
    import pypff
    f = pypff.file()
    f.open(path)
    try:
        stack = [f.get_root_folder()]
        while stack:
            folder = stack.pop()
            for i in range(folder.get_number_of_sub_messages()):
                m = folder.get_sub_message(i)
                body = m.get_plain_text_body()
                sizes = []
                for k in range(m.get_number_of_attachments()):
                    a = m.get_attachment(k)
                    try:
                        sizes.append(a.get_size())
                    except Exception:  # noqa: BLE001  (an attached message has no data size)
                        pass
                sender = None
                try:
                    sender = m.get_sender_name()
                except Exception:  # noqa: BLE001
                    pass
                return {"subject": m.get_subject(), "sender": sender,
                        "body": body.decode("utf-8", "replace") if body else None, "sizes": sizes}
            for i in range(folder.get_number_of_sub_folders()):
                stack.append(folder.get_sub_folder(i))
    finally:
        f.close()
    return None


# readpst writes an mbox separator line, quoted (">From ..."), as the first line of every
# attached message it writes; the message starts after it.
_READPST_ATTACHED_FROM = re.compile(rb"(Content-Type: message/rfc822\r?\n(?:[^\r\n]+\r?\n)*\r?\n)>From [^\n]*\n")


def readpst_text(data):
    """readpst's .eml as a message reader would take it: the quoted separator line at the
    top of each attached message left out."""
    return _READPST_ATTACHED_FROM.sub(rb"\1", data)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--convert", required=True)
    ap.add_argument("--data", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--js-readers")
    ap.add_argument("--only", help="cases whose name holds this text")
    ap.add_argument("--record-open", action="store_true", help="write the differences found to open_differences.json")
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    inputs_dir = os.path.join(args.work, "in")
    os.makedirs(inputs_dir)
    cases = [(c, d) for c, d in messages(args.data) if not args.only or args.only in c]
    names, inputs = {}, []
    for n, (case, data) in enumerate(cases):
        stem = f"m{n:04d}"
        names[case] = stem
        p = os.path.join(inputs_dir, stem + ".mbox")
        with open(p, "wb") as f:
            f.write(mailbox_bytes(data))
        inputs.append(p)

    for kind in ("eml", "emlx", "msg", "pst"):
        convert(args.convert, kind, inputs, os.path.join(args.work, kind))

    eml, emlx, msgc, msgr, readpst, pff = (Kind(k) for k in ("eml", "emlx", "msg (msgconvert)", "msg (msgreader)",
                                                              "pst (readpst)", "pst (pypff)"))
    # msgconvert once over every .msg (copied flat under unique names: it writes
    # NAME.eml next to NAME.msg in its working folder)
    flat = os.path.join(args.work, "msgconvert")
    os.makedirs(flat)
    for case, _ in cases:
        path = output_of(os.path.join(args.work, "msg"), names[case], ".msg")
        if path:
            shutil.copyfile(path, os.path.join(flat, names[case] + ".msg"))
    batch = sorted(f for f in os.listdir(flat) if f.endswith(".msg"))
    for i in range(0, len(batch), 100):
        subprocess.run(["msgconvert"] + batch[i:i + 100], cwd=flat, capture_output=True)

    msg_paths = {}
    for case, data in cases:
        stem = names[case]
        want = mailbox_bytes(data).split(b"\n", 1)[1]
        check_bytes(eml, case, want, output_of(os.path.join(args.work, "eml"), stem, ".eml"))
        check_bytes(emlx, case, want, output_of(os.path.join(args.work, "emlx"), stem, ".emlx"), emlx=True)
        src = mi.parse_bytes(want)
        facts = source_facts(src)

        # .msg through msgconvert
        path = output_of(os.path.join(args.work, "msg"), stem, ".msg")
        if not path:
            msgc.fail(case, "no .msg written")
        else:
            msg_paths[path] = (case, facts)
            out_path = os.path.join(flat, stem + ".eml")
            if not os.path.exists(out_path):
                msgc.fail(case, "msgconvert cannot read the .msg")
            else:
                with open(out_path, "rb") as f:
                    out = mi.parse_bytes(f.read())
                before = len(mi.FAILURES)
                try:
                    with olefile.OleFileIO(path) as ole:
                        mi.compare(case, src, out, 0, ole)
                except Exception as e:  # noqa: BLE001
                    mi.fail(case, f"comparison raised {type(e).__name__}: {e}")
                record(msgc, case, before)

        # .pst through readpst and pypff
        pst = os.path.join(args.work, "pst", stem + ".pst")
        if not os.path.exists(pst):
            pst = find_one(os.path.join(args.work, "pst"), stem + ".pst")
        if not pst:
            readpst.fail(case, "no .pst written")
            pff.fail(case, "no .pst written")
            continue
        rd = os.path.join(args.work, "readpst", stem)
        os.makedirs(rd, exist_ok=True)
        subprocess.run(["readpst", "-j", "0", "-e", "-q", "-o", rd, pst], capture_output=True)
        got = find_one(rd, ".eml")
        if not got:
            readpst.fail(case, "readpst wrote no message")
        else:
            with open(got, "rb") as f:
                out = mi.parse_bytes(readpst_text(f.read()))
            before = len(mi.FAILURES)
            try:
                mi.compare(case, src, out, 0, None)
            except Exception as e:  # noqa: BLE001
                mi.fail(case, f"comparison raised {type(e).__name__}: {e}")
            # (without the .msg's storages, names are checked against readpst's parts)
            del_names = [f for f in mi.FAILURES[before:] if "attachment names" in f]
            for f in del_names:
                mi.FAILURES.remove(f)
            record(readpst, case, before)
            if facts["trusted"] and not facts["tnef"]:
                got_names = {" ".join(mi.decode_name(p).split()) for p in mi.leaves(out) if p.get_filename()}
                # (a named part that is the message's body is shown as the body, not as a file)
                bodies = {id(p) for p in mi.choose_bodies(src) if p is not None}
                want_names = [" ".join(mi.decode_name(p).split()) for p in mi.leaves(src)
                              if p.get_filename() and p.get_content_type() != "message/rfc822" and id(p) not in bodies]
                missing = [n for n in want_names if "\ufffd" not in n and n not in got_names
                           and mi.sanitize(n) not in got_names]
                if missing:
                    readpst.fail(case, f"attachment names {missing} not in {sorted(got_names)}")
        try:
            m = pypff_message(pst)
        except Exception as e:  # noqa: BLE001
            m = None
            pff.fail(case, f"pypff: {e}")
        if m is None:
            pff.fail(case, "pypff finds no message")
        else:
            check_reader(pff, case, facts, m["subject"], None, None, m["body"], m["sizes"])

    results = msgreader(args.js_readers, list(msg_paths))
    if results is None:
        print("SKIP msgreader: node or @kenjiuno/msgreader missing (scripts/install-deps.sh)")
    else:
        for path, (case, facts) in msg_paths.items():
            got = results.get(path) or {"exception": "returned nothing"}
            if "exception" in got:
                msgr.fail(case, got["exception"][:200])
                continue
            recips = [r.get("email") or "" for r in got.get("recipients", []) if r.get("type") in ("to", "cc")]
            sizes = [a["size"] for a in got.get("attachments", []) if not a.get("innerMsg")]
            check_reader(msgr, case, facts, got.get("subject"), got.get("senderEmail"), recips, got.get("body"), sizes)

    total = len(cases)
    bad = 0
    if args.record_open:
        record_all = {name: sorted(c for c in kind.failed if f"{name}:{c}" not in KNOWN)
                      for name, kind in STATS.items() if any(f"{name}:{c}" not in KNOWN for c in kind.failed)}
        with open(os.path.join(HERE, "open_differences.json"), "w", encoding="utf-8") as f:
            json.dump({"explained": EXPLAINED, "open": record_all}, f, indent=1, ensure_ascii=False)
            f.write("\n")
    for name, kind in STATS.items():
        real = {c: d for c, d in kind.failed.items() if f"{name}:{c}" not in KNOWN}
        still_open = {c: d for c, d in real.items() if c in OPEN.get(name, []) and not args.only}
        new_ones = {c: d for c, d in real.items() if c not in still_open}
        print(f"{name:18} {total - len(kind.failed)}/{total} faithful"
              + (f", {len(kind.failed) - len(real)} explained (the reader's or the comparison's)" if len(real) != len(kind.failed) else "")
              + (f", {len(still_open)} open" if still_open else ""))
        for c, d in sorted(real.items()):
            print(f"    {'open ' if c in still_open else 'NEW  '}{c}: " + " | ".join(x[:300] for x in d))
        bad += len(new_ones)
    for k, why in KNOWN.items():
        print(f"  known: {k}: {why}")
    # an explanation whose difference is gone is stale
    stale = [k for k in EXPLAINED if not any(k == f"{name}:{c}" for name, kind in STATS.items() for c in kind.failed)]
    if stale and not args.only:
        print("explained differences that no longer occur (remove them from open_differences.json):")
        for k in stale:
            print(f"    {k}")
        bad += len(stale)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
