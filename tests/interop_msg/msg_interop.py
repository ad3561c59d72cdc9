#!/usr/bin/python3
"""Interop check of our .msg files.

For every input message (corpus .eml files, every message of the corpus mbox files,
generated messages with the features the importer must handle, and the corpus .msg
files after msgconvert): write a .msg with msg_roundtrip_tool, check its compound-file
structure with olefile, convert it back with msgconvert and compare subject,
addresses, date, Message-ID, decoded bodies, attachments (names and bytes) and
attached messages with the source as parsed by Python's email package.
"""
import argparse
import base64
import email
from html import unescape as html_unescape
import email.policy
import email.utils
import hashlib
import os
import quopri
import re
import shutil
import struct
import sys

import olefile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from interop_common import FAILURES, js_reader, run  # noqa: E402
# Differences we accept, with the reason. Everything else fails the test.
KNOWN = {
    "mbox/issue1189.mbox.txt#1": "GMime loses the part whose 5000-character base64 line follows its header block "
                                 "without a blank line (Python reads it as the body); the importer warns and "
                                 "attaches the original message instead",
}
CHECKED = {"messages": 0, "fields": 0}


def fail(case, what):
    FAILURES.append(f"{case}: {what}")


# ----------------------------------------------------------------- compound file


def check_ole(case, path):
    """Structure of a .msg written by us: property stream headers, sizes in entries."""
    try:
        ole = olefile.OleFileIO(path)
    except Exception as e:  # noqa: BLE001
        fail(case, f"olefile cannot open the .msg: {e}")
        return
    with ole:
        entries = ole.listdir(streams=True, storages=True)
        names = {"/".join(e) for e in entries}
        if "__properties_version1.0" not in names:
            fail(case, "no top-level property stream")
            return
        for req in ("__nameid_version1.0/__substg1.0_00020102", "__nameid_version1.0/__substg1.0_00030102",
                    "__nameid_version1.0/__substg1.0_00040102"):
            if req not in names:
                fail(case, f"missing {req}")
        check_storage(case, ole, names, "", 32)
        check_directory_tree(case, ole)
    if shutil.which("olecfinfo"):
        r = run(["olecfinfo", path], text=True)
        if r.returncode != 0:
            fail(case, f"olecfinfo rejects the file: {(r.stderr or r.stdout).strip()[:200]}")


def cfb_key(name):
    """[MS-CFB] 2.6.4 order: shorter names first, then upper-cased code points."""
    return (len(name), name.upper())


def check_directory_tree(case, ole):
    """Each storage's children must form a binary search tree in [MS-CFB] order
    (Windows looks entries up by walking it), with no red entry under a red one."""
    entries = ole.direntries

    def walk(sid, out, depth=0):
        if sid == olefile.NOSTREAM or depth > 4096:
            return
        e = entries[sid]
        if e is None:
            e = ole._load_direntry(sid)
        walk(e.sid_left, out, depth + 1)
        out.append(e)
        walk(e.sid_right, out, depth + 1)

    for e in list(entries):
        if e is None or e.entry_type not in (olefile.STGTY_ROOT, olefile.STGTY_STORAGE):
            continue
        children = []
        walk(e.sid_child, children)
        keys = [cfb_key(c.name) for c in children]
        if keys != sorted(keys) or len(set(keys)) != len(keys):
            fail(case, f"children of {e.name!r} are not in CFB order")
        for c in children:
            for sub in (c.sid_left, c.sid_right):
                if c.color == 0 and sub != olefile.NOSTREAM and entries[sub] is not None and entries[sub].color == 0:
                    fail(case, f"red entry {entries[sub].name!r} under red {c.name!r}")
            if c.entry_type == olefile.STGTY_STREAM and (c.createTime or c.modifyTime):
                fail(case, f"stream {c.name!r} carries timestamps")


def check_storage(case, ole, names, prefix, header_size):
    props = ole.openstream(prefix + "__properties_version1.0").read()
    if (len(props) - header_size) % 16 != 0:
        fail(case, f"{prefix}property stream length {len(props)} does not fit header {header_size}")
        return
    children = sorted({n[len(prefix):].split("/")[0] for n in names if n.startswith(prefix) and n != prefix.rstrip("/")})
    recips = [c for c in children if c.startswith("__recip_version1.0_#")]
    attachs = [c for c in children if c.startswith("__attach_version1.0_#")]
    if header_size in (24, 32):
        next_r, next_a, cnt_r, cnt_a = struct.unpack_from("<IIII", props, 8)
        if cnt_r != len(recips) or cnt_a != len(attachs):
            fail(case, f"{prefix}header counts {cnt_r}/{cnt_a} but storages {len(recips)}/{len(attachs)}")
        if next_r < cnt_r or next_a < cnt_a:
            fail(case, f"{prefix}next ids below counts")
        for i, r in enumerate(recips):
            if r != f"__recip_version1.0_#{i:08X}":
                fail(case, f"{prefix}recipient storage {r} out of sequence")
    tags = set()
    for off in range(header_size, len(props), 16):
        tag, flags, v1, v2 = struct.unpack_from("<IIII", props, off)
        tags.add(tag)
        ptype = tag & 0xFFFF
        stream = prefix + f"__substg1.0_{tag:08X}"
        if ptype in (0x001F, 0x0102, 0x001E, 0x0048):
            if stream not in names:
                fail(case, f"{stream} missing for entry")
                continue
            size = ole.get_size(stream)
            want = size + 2 if ptype == 0x001F else size + 1 if ptype == 0x001E else size
            if v1 != want:
                fail(case, f"{stream}: entry size {v1}, stream {size}")
        elif ptype == 0x000D:
            if v1 != 0xFFFFFFFF:
                fail(case, f"{prefix}object entry size {v1:#x}")
            if stream not in names:
                fail(case, f"{stream} storage missing")
            else:
                check_storage(case, ole, names, stream + "/", 24)
    if prefix == "" and 0x340D0003 not in tags:
        fail(case, "PR_STORE_SUPPORT_MASK missing at top level")
    if header_size in (24, 32):
        for r in recips:
            check_storage(case, ole, names, prefix + r + "/", 8)
        for a in attachs:
            check_storage(case, ole, names, prefix + a + "/", 8)


# ----------------------------------------------------------------- expectations


def text_of(part):
    payload = part.get_payload(decode=True) or b""
    if not part.get_content_charset():
        # 8-bit text that names no charset, read as mail readers read it
        try:
            return payload.decode("utf-8")
        except UnicodeDecodeError:
            return payload.decode("cp1252", errors="replace")
    cs = part.get_content_charset()
    cs = {"gb2312": "gb18030", "gbk": "gb18030", "shift_jis": "cp932", "iso-2022-jp": "iso2022_jp_2",
          "ks_c_5601-1987": "cp949", "euc-kr": "cp949", "us-ascii": "cp1252", "iso-8859-1": "cp1252"}.get(cs.lower(), cs)
    try:
        return payload.decode(cs, errors="replace")
    except LookupError:
        try:
            return payload.decode("utf-8")
        except UnicodeDecodeError:
            return payload.decode("cp1252", errors="replace")


def leaves(msg):
    """Leaf parts in document order; message/rfc822 parts are leaves."""
    out = []

    def walk(p):
        if p.get_content_maintype() == "multipart" and p.is_multipart():
            for sub in p.get_payload():
                walk(sub)
        elif p.get_content_maintype() == "multipart" and not str(p.get_payload() or "").strip():
            pass  # a multipart without parts carries nothing
        else:
            out.append(p)

    walk(msg)
    return out


def choose_bodies(msg):
    plain = html = None
    for p in leaves(msg):
        ct = p.get_content_type()
        if ct not in ("text/plain", "text/html") or p.get_content_maintype() == "message":
            continue
        disp = (p.get_content_disposition() or "").lower()
        if disp == "attachment":
            continue
        if p.get_filename() and disp == "inline" and (plain or html):
            continue
        if ct == "text/plain" and plain is None:
            plain = p
        if ct == "text/html" and html is None:
            html = p
    return plain, html


def norm_text(s):
    s = s.replace("\r\n", "\n").replace("\r", "\n").replace("\ufeff", "")
    lines = [ln.rstrip() for ln in s.split("\n")]
    return "\n".join(lines).strip()


def norm_html(s):
    s = norm_text(s)
    s = re.sub(r"charset\s*=\s*[\"']?[\w.:-]+", "charset=X", s, flags=re.I)
    return s


def addresses(value):
    if not value:
        return []
    return sorted(a.lower() for _, a in email.utils.getaddresses([str(value)]) if "@" in a)


def header(msg, name):
    try:
        v = msg[name]
    except Exception:  # noqa: BLE001
        return None
    return None if v is None else str(v)


def parse_bytes(data):
    return email.message_from_bytes(data, policy=email.policy.compat32)


def decoded_header(msg, name):
    raw = msg.get(name)
    if raw is None:
        return None
    try:
        parts = email.header.decode_header(str(raw))
        out = ""
        for text, cs in parts:
            if isinstance(text, bytes):
                cs = {"gb2312": "gb18030", "shift_jis": "cp932", "iso-2022-jp": "iso2022_jp_2"}.get((cs or "").lower(), cs)
                try:
                    out += text.decode(cs or "utf-8", errors="replace")
                except LookupError:
                    out += text.decode("utf-8", errors="replace")
            else:
                out += text
        return " ".join(out.split())
    except Exception:  # noqa: BLE001
        return " ".join(str(raw).split())


# ----------------------------------------------------------------- comparison


def ole_level(ole, prefix):
    """Attachment long names and embedded-message prefixes of one message level of our .msg."""
    names, embedded = [], []
    i = 0
    while ole.exists(prefix + f"__attach_version1.0_#{i:08X}"):
        a = prefix + f"__attach_version1.0_#{i:08X}/"
        for tag in ("3707001F", "3704001F"):
            if ole.exists(a + "__substg1.0_" + tag):
                names.append(ole.openstream(a + "__substg1.0_" + tag).read().decode("utf-16-le"))
                break
        if ole.exists(a + "__substg1.0_3701000D"):
            embedded.append(a + "__substg1.0_3701000D/")
        i += 1
    return names, embedded


def b64_broken(p):
    if (p.get("Content-Transfer-Encoding") or "").strip().lower() != "base64":
        return False
    raw = p.get_payload(decode=False)
    if not isinstance(raw, str):
        return False
    body = re.sub(r"\s", "", raw)
    return bool(re.search(r"[^A-Za-z0-9+/=]", body)) or len(body) % 4 != 0


def compare(case, src, out, level=0, ole=None, prefix="", envelope_date=None):
    """src: the source message (compat32), out: msgconvert's output (compat32),
    ole/prefix: our .msg and the storage path of this message level."""
    CHECKED["messages"] += 1
    if not src.keys() and level > 0:
        return  # an attached message Python cannot read the header of (e.g. a leading ">From " line)
    if not src.keys() and not src.get_payload():
        return  # empty input: a valid file is all there is to check
    if not src.keys():
        # No header at all: text becomes the message's body, as mail readers show it;
        # bytes that are no text stay attached as the original.
        CHECKED["fields"] += 1
        names, _ = ole_level(ole, prefix) if ole else ([], [])
        if "original-message.eml" in names:
            return
        o_plain, _ = choose_bodies(out)
        got = norm_text(text_of(o_plain)) if o_plain is not None else ""
        want = norm_text(src.get_payload() if isinstance(src.get_payload(), str) else "")
        if want and want.split("\n")[0] not in got:
            fail(case, f"headerless message: its text is not the body ({got[:80]!r})")
        return
    trusted_structure = not any(type(d).__name__ in ("MissingHeaderBodySeparatorDefect", "FirstHeaderLineIsContinuationDefect")
                                for d in src.defects)

    def check(field, want, got):
        CHECKED["fields"] += 1
        if want != got:
            fail(case, f"{'  ' * level}{field}: expected {want!r}, got {got!r}")

    s_subj = decoded_header(src, "Subject")
    o_subj = decoded_header(out, "Subject")
    if s_subj:
        check("subject", s_subj, o_subj)
    for name in ("From", "To", "Cc"):
        want = addresses(decoded_header(src, name))
        if want:
            check(name, want, addresses(decoded_header(out, name)))
    s_date = src.get("Date") or envelope_date
    if s_date:
        try:
            want = email.utils.parsedate_to_datetime(str(s_date)).timestamp()
        except Exception:  # noqa: BLE001
            want = None
        if want is not None and want > 0:
            try:
                got = email.utils.parsedate_to_datetime(str(out.get("Date"))).timestamp()
            except Exception:  # noqa: BLE001
                got = None
            check("date", int(want), None if got is None else int(got))
    mid = src.get("Message-ID")
    if mid:
        check("message-id", " ".join(str(mid).split()), " ".join(str(out.get("Message-ID") or out.get("Message-Id") or "").split()))

    if not trusted_structure:
        return  # Python reads the header block differently (damaged header); only headers compared
    if any(p.get_content_type() == "application/ms-tnef" for p in leaves(src)):
        # winmail.dat is decoded into the body and files Outlook shows; Python's reading
        # keeps it opaque, so only the headers above compare (the mime tests check TNEF).
        return
    s_plain, s_html = choose_bodies(src)
    o_plain, o_html = choose_bodies(out)
    if s_plain is not None and s_html is not None:
        # a text/plain after the HTML but outside its alternative is not the body's plain form
        pass
    if s_plain is not None:
        want = norm_text(text_of(s_plain))
        got = norm_text(text_of(o_plain)) if o_plain is not None else None
        # the plain part may have been demoted (footer after the HTML body); then it is an attachment
        if got != want and s_html is not None and got is not None:
            pass
        else:
            check("plain body", want, got)
    if s_html is not None:
        check("html body", norm_html(text_of(s_html)), norm_html(text_of(o_html)) if o_html is not None else None)
    if s_plain is None and s_html is not None and o_plain is not None:
        # our plain rendering of the HTML must carry its words
        # (the words as the HTML shows them: "&quot;" is a quote, not the word "quot")
        words = re.findall(r"\w{4,}", html_unescape(re.sub(r"<[^>]*>", " ", re.sub(
            r"(?is)<(style|script|head)\b.*?</\1>", " ", text_of(s_html)))))
        got = text_of(o_plain)
        missing = [w for w in words[:50] if w not in got]
        CHECKED["fields"] += 1
        if len(missing) > 2:
            fail(case, f"{'  ' * level}html rendering lacks words {missing[:5]}")

    # attachments: every leaf that is not a chosen body
    body_ids = {id(p) for p in (s_plain, s_html) if p is not None}
    s_att = [p for p in leaves(src) if id(p) not in body_ids]
    o_body_ids = {id(p) for p in (o_plain, o_html) if p is not None}
    o_att = [p for p in leaves(out) if id(p) not in o_body_ids]
    s_files = [p for p in s_att if p.get_content_type() != "message/rfc822"]
    s_msgs = [p for p in s_att if p.get_content_type() == "message/rfc822"]
    o_files = [p for p in o_att if p.get_content_type() != "message/rfc822"]
    o_msgs = [p for p in o_att if p.get_content_type() == "message/rfc822"]

    def digest(p):
        data = p.get_payload(decode=True) or b""
        if p.get_content_maintype() == "multipart":  # kept as text by us: line ends may differ
            data = data.replace(b"\r\n", b"\n").rstrip()
        return hashlib.sha1(data).hexdigest()

    check("attachment count", len(s_files), len(o_files))
    def canonical(p):
        # an unencoded part's lines end in CR LF on the wire, whatever the file kept
        data = p.get_payload(decode=True) or b""
        if str(p.get("Content-Transfer-Encoding", "")).strip().lower() in ("", "7bit", "8bit"):
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        return hashlib.sha1(data).hexdigest()

    want = [(digest(p), canonical(p)) for p in s_files if not b64_broken(p)]
    got = [digest(p) for p in o_files]
    CHECKED["fields"] += 1
    missing = [d for d, c in want if d not in got and c not in got]
    if missing:
        fail(case, f"{'  ' * level}attachment bytes {missing} not among {got}")
    # names as stored in our .msg (msgconvert transliterates non-ASCII names)
    names, embedded = ole_level(ole, prefix) if ole else ([], [])
    want_names = [" ".join(decode_name(p).split()) for p in s_files if p.get_filename()]
    want_names = [n for n in want_names if "\ufffd" not in n]  # raw 8-bit names: no reference reading
    missing = [n for n in want_names if n not in names and sanitize(n) not in names]
    CHECKED["fields"] += 1
    if missing:
        fail(case, f"{'  ' * level}attachment names {missing} not in {names}")
    check("attached messages", len(s_msgs), len(o_msgs))
    for k, (s_m, o_m) in enumerate(zip(s_msgs, o_msgs)):
        s_inner = s_m.get_payload()[0] if s_m.is_multipart() else None
        o_inner = o_m.get_payload()[0] if o_m.is_multipart() else None
        if s_inner is not None and o_inner is not None and level < 5:
            inner_prefix = embedded[k] if k < len(embedded) else None
            compare(case + " [attached]", s_inner, o_inner, level + 1, ole if inner_prefix else None, inner_prefix or "")


def decode_name(p):
    n = p.get_filename() or ""
    try:
        parts = email.header.decode_header(n)
        return "".join(t.decode(c or "utf-8", errors="replace") if isinstance(t, bytes) else t for t, c in parts)
    except Exception:  # noqa: BLE001
        return n


def sanitize(n):
    return re.sub(r'[/\\:*?"<>|]', "_", n).strip(" .")


# ----------------------------------------------------------------- running


def run_case(args, case, data, work):
    os.makedirs(work, exist_ok=True)
    safe = re.sub(r"[^\w.-]", "_", case)[-80:]
    src_path = os.path.join(work, safe + ".eml")
    msg_path = os.path.join(work, safe + ".msg")
    out_path = os.path.join(work, safe + ".out.eml")
    with open(src_path, "wb") as f:
        f.write(data)
    r = run([args.tool, src_path, msg_path], text=True)
    if r.returncode != 0:
        fail(case, f"tool failed: {r.stderr.strip()}")
        return None
    check_ole(case, msg_path)
    r = run(["msgconvert", "--outfile", out_path, msg_path], text=True)
    if r.returncode != 0 or not os.path.exists(out_path):
        fail(case, f"msgconvert failed: {r.stderr.strip()[:300]}")
        return None
    with open(out_path, "rb") as f:
        out = parse_bytes(f.read())
    return out, msg_path


def envelope_date(data):
    """The asctime date of an mbox "From " line, as an RFC 5322 date string (UTC)."""
    m = re.match(rb"From \S+\s+\w{3} (\w{3})\s+(\d+) (\d\d:\d\d:\d\d) (\d{4})", data)
    if not m:
        return None
    mon, day, hms, year = (x.decode() for x in m.groups())
    return f"{int(day)} {mon} {year} {hms} +0000"


def strip_envelope(data):
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    if data.startswith(b"From "):
        data = data[data.find(b"\n") + 1:]
    return data


def split_mbox(data):
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    msgs = []
    starts = [0] if data.startswith(b"From ") else []
    for m in re.finditer(rb"\nFrom ", data):
        starts.append(m.start() + 1)
    for i, s in enumerate(starts):
        e = starts[i + 1] if i + 1 < len(starts) else len(data)
        msgs.append(data[s:e])
    return msgs


def generated_messages():
    """Crafted messages with the features the importer handles."""
    g = {}
    crlf = lambda s: s.replace("\r\n", "\n").replace("\n", "\r\n").encode("ascii")  # noqa: E731

    def b64(b):
        return base64.encodebytes(b).decode("ascii")

    g["rfc2047-names"] = crlf(
        "From: =?UTF-8?B?SsO8cmdlbiBNw7xsbGVy?= <juergen@example.com>\n"
        "To: =?ISO-8859-1?Q?Fran=E7ois_Dupr=E9?= <francois@example.org>, plain@example.net\n"
        "Cc: Undisclosed: a@example.com, b@example.com;\n"
        "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_K=C3=B6ln?= =?UTF-8?B?IOKCrCDwn5iA?=\n"
        "Date: Mon, 07 Dec 2026 08:37:05 +0100\n"
        "Message-ID: <rfc2047@example.com>\n"
        "MIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n"
        "body\n")
    samples = {
        "utf-8": "Grüße, Ελληνικά, русский, 日本語 €",
        "iso-8859-1": "Grüße aus Köln, garçon",
        "iso-8859-15": "Prix: 10 € — non, pas de tiret: 10 €",
        "windows-1252": "“Quotes” and ‘single’ – dash € …",
        "koi8-r": "Привет, как дела?",
        "iso-2022-jp": "こんにちは、世界。日本語のメール",
        "shift_jis": "こんにちは、シフトJISのメール",
        "gb2312": "你好，世界。简体中文邮件",
    }
    for cs, text in samples.items():
        if cs == "iso-8859-15":
            text = "Prix: 10 € pour ½ kg"
            text = text.replace("½", "e")
        body = text.encode(cs)
        subj_enc = "=?" + cs + "?B?" + base64.b64encode(text[:12].encode(cs)).decode() + "?="
        html = f"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset={cs}\"></head><body><p>{text}</p></body></html>"
        g["charset-" + cs] = crlf(
            f"From: a@example.com\nTo: b@example.com\nSubject: {subj_enc}\nDate: Tue, 01 Dec 2026 10:00:00 +0000\n"
            f"MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=\"alt\"\n\n"
            f"--alt\nContent-Type: text/plain; charset={cs}\nContent-Transfer-Encoding: base64\n\n{b64(body)}\n"
            f"--alt\nContent-Type: text/html; charset={cs}\nContent-Transfer-Encoding: base64\n\n{b64(html.encode(cs))}\n"
            "--alt--\n")
    g["html-only"] = crlf(
        "From: Web <web@example.com>\nTo: you@example.com\nSubject: HTML only\nDate: Wed, 02 Dec 2026 11:00:00 -0500\n"
        "MIME-Version: 1.0\nContent-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
        + quopri.encodestring("<html><head><style>p{color:red}</style></head><body><h1>Headline here</h1><p>First paragraph &amp; more&nbsp;text.<br>Second line</p><ul><li>apples</li><li>pears</li></ul></body></html>".encode()).decode()
        + "\n")
    png = b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 3
    g["inline-related"] = crlf(
        "From: a@example.com\nTo: b@example.com\nSubject: inline image\nDate: Thu, 03 Dec 2026 12:00:00 +0000\n"
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=mix\n\n"
        "--mix\nContent-Type: multipart/related; boundary=rel; type=\"multipart/alternative\"\n\n"
        "--rel\nContent-Type: multipart/alternative; boundary=alt\n\n"
        "--alt\nContent-Type: text/plain; charset=us-ascii\n\nSee the logo.\n"
        "--alt\nContent-Type: text/html; charset=us-ascii\n\n<p>See the <img src=\"cid:logo@x\"> logo.</p>\n"
        "--alt--\n"
        "--rel\nContent-Type: image/png\nContent-ID: <logo@x>\nContent-Disposition: inline; filename=logo.png\n"
        f"Content-Transfer-Encoding: base64\n\n{b64(png)}\n"
        "--rel--\n"
        "--mix\nContent-Type: application/pdf; name=\"report.pdf\"\nContent-Disposition: attachment; filename=\"report.pdf\"\n"
        f"Content-Transfer-Encoding: base64\n\n{b64(b'%PDF-1.4 fake ' * 100)}\n"
        "--mix--\n")
    inner2 = ("From: deep@example.com\nTo: b@example.com\nSubject: innermost\nDate: Fri, 04 Dec 2026 09:00:00 +0000\n"
              "Message-ID: <inner2@example.com>\n\nInnermost body.\n")
    inner1 = ("From: mid@example.com\nTo: b@example.com\nSubject: =?UTF-8?Q?middle_=C3=A9?=\nDate: Fri, 04 Dec 2026 10:00:00 +0000\n"
              "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=in1\n\n"
              "--in1\nContent-Type: text/plain\n\nMiddle body.\n"
              "--in1\nContent-Type: message/rfc822\n\n" + inner2 + "\n--in1\nContent-Type: text/csv; name=data.csv\n"
              "Content-Disposition: attachment; filename=data.csv\n\na,b\n1,2\n--in1--\n")
    g["nested-messages"] = crlf(
        "From: top@example.com\nTo: b@example.com\nSubject: Fwd: nested\nDate: Fri, 04 Dec 2026 11:00:00 +0000\n"
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=top\n\n"
        "--top\nContent-Type: text/plain\n\nSee attached.\n"
        "--top\nContent-Type: message/rfc822\nContent-Disposition: attachment\n\n" + inner1 + "\n--top--\n")
    g["rfc2231-names"] = crlf(
        "From: a@example.com\nTo: b@example.com\nSubject: names\nDate: Sat, 05 Dec 2026 11:00:00 +0000\n"
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
        "--b\nContent-Type: text/plain\n\nbody\n"
        "--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment;\n"
        " filename*0*=UTF-8''%E6%97%A5%E6%9C%AC%E8%AA%9E%20;\n filename*1*=%E3%83%95%E3%82%A1%E3%82%A4%E3%83%AB.txt\n"
        "Content-Transfer-Encoding: base64\n\n" + b64("日本語".encode()) + "\n"
        "--b\nContent-Type: application/octet-stream; name=\"=?ISO-8859-1?Q?R=E9sum=E9=2Edoc?=\"\n"
        "Content-Disposition: attachment; filename=\"=?ISO-8859-1?Q?R=E9sum=E9=2Edoc?=\"\n"
        "Content-Transfer-Encoding: base64\n\n" + b64(b"doc bytes") + "\n--b--\n")
    g["missing-date"] = ("From sender@example.com Mon Dec  7 08:37:05 2026\r\n"
                         "From: a@example.com\r\nTo: b@example.com\r\nSubject: no date\r\n\r\nbody\r\n").encode()
    g["broken-base64"] = crlf(
        "From: a@example.com\nTo: b@example.com\nSubject: broken base64\nDate: Sun, 06 Dec 2026 06:00:00 +0000\n"
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nbody\n"
        "--b\nContent-Type: application/octet-stream; name=x.bin\nContent-Transfer-Encoding: base64\n\nSGVsbG8g!!d29y*bGQ\n--b--\n")
    full = g["inline-related"]
    g["truncated"] = full[: len(full) * 2 // 3]
    g["empty"] = b""
    g["garbage"] = bytes((i * 7919 + 13) & 0xFF for i in range(3000))
    g["lf-bom"] = ("\ufeffFrom: a@example.com\nTo: b@example.com\nSubject: LF and BOM\nDate: Sun, 06 Dec 2026 06:00:00 +0000\n\n"
                   "body line 1\nbody line 2\n").encode()
    g["priority"] = crlf("From: a@example.com\nTo: b@example.com\nSubject: urgent\nDate: Sun, 06 Dec 2026 06:00:00 +0000\n"
                         "X-Priority: 1 (Highest)\nImportance: High\nSensitivity: Private\n\nbody\n")
    g["footer-after-html"] = crlf(
        "From: list@example.com\nTo: b@example.com\nSubject: footer\nDate: Sun, 06 Dec 2026 07:00:00 +0000\n"
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=m\n\n"
        "--m\nContent-Type: multipart/alternative; boundary=a\n\n--a\nContent-Type: text/plain\n\nmain text\n"
        "--a\nContent-Type: text/html\n\n<p>main text</p>\n--a--\n"
        "--m\nContent-Type: text/plain\nContent-Disposition: inline\n\n-- list footer\n--m--\n")
    return g


def msgreader_check(args, done, originals):
    """Second, independent reader: @kenjiuno/msgreader (JavaScript, own CFB parser) from
    tests/readers (installed by scripts/install-deps.sh). Reads our files and the corpus
    originals. Skipped only when node itself is not installed."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "msgreader_dump.js")
    results = js_reader(args.msgreader, "@kenjiuno/msgreader",
                        [script] + [p for _, p, _ in done] + [p for _, p, _ in originals])
    if results is None:
        return

    def check_level(case, src, got, level):
        CHECKED["fields"] += 1
        if "exception" in got:
            fail(case, f"msgreader: {got['exception'][:200]}")
            return
        subj = decoded_header(src, "Subject")
        if subj and " ".join((got.get("subject") or "").split()) != subj:
            fail(case, f"msgreader subject {got.get('subject')!r}, expected {subj!r}")
        want_to = addresses(decoded_header(src, "To")) + addresses(decoded_header(src, "Cc"))
        got_to = sorted((r.get("email") or "").lower() for r in got.get("recipients", []) if r.get("type") in ("to", "cc"))
        if want_to and sorted(want_to) != got_to:
            fail(case, f"msgreader recipients {got_to}, expected {sorted(want_to)}")
        if any(p.get_content_type() == "application/ms-tnef" for p in leaves(src)):
            return  # decoded winmail.dat: body and files are not Python's reading (see compare)
        plain, html = choose_bodies(src)
        if plain is not None and html is None and norm_text(got.get("body") or "") != norm_text(text_of(plain)):
            fail(case, f"msgreader body {got.get('body')!r:.80}, expected {text_of(plain)!r:.80}")
        body_ids = {id(p) for p in (plain, html) if p is not None}
        atts = [p for p in leaves(src) if id(p) not in body_ids]
        # (Python gives no payload bytes for message/* parts other than rfc822)
        sizes = sorted(len(p.get_payload(decode=True) or b"") for p in atts
                       if p.get_content_maintype() not in ("message", "multipart") and not b64_broken(p))
        got_sizes = sorted(a["size"] for a in got.get("attachments", []) if not a.get("innerMsg"))
        if any(s not in got_sizes for s in sizes):
            fail(case, f"msgreader attachment sizes {got_sizes}, expected {sizes}")
        inner_src = [p for p in atts if p.get_content_type() == "message/rfc822" and p.is_multipart()]
        inner_got = [a for a in got.get("attachments", []) if a.get("innerMsg")]
        if len(inner_src) != len(inner_got):
            fail(case, f"msgreader sees {len(inner_got)} attached messages, expected {len(inner_src)}")
        for s_m, g_m in zip(inner_src, inner_got):
            if "inner" in g_m and s_m.get_payload()[0].keys():
                check_level(case + " [attached]", s_m.get_payload()[0], g_m["inner"], level + 1)

    # The corpus originals: read whole, with the subject msgconvert reads.
    for case, path, theirs in originals:
        got = results.get(path) or {"exception": "returned nothing"}
        CHECKED["fields"] += 1
        if "exception" in got:
            fail(case + " (original)", f"msgreader: {got['exception'][:200]}")
        elif " ".join((got.get("subject") or "").split()) != (decoded_header(theirs, "Subject") or ""):
            fail(case + " (original)", f"msgreader subject {got.get('subject')!r}, msgconvert "
                 f"{decoded_header(theirs, 'Subject')!r}")
    for case, path, src in done:
        got = results.get(path)
        if got is None:
            fail(case, "msgreader returned nothing")
            continue
        if not src.keys() or any(type(d).__name__ in ("MissingHeaderBodySeparatorDefect",) for d in src.defects):
            continue
        check_level(case, src, got, 0)
    print(f"msgreader read {len(results)} files ({len(originals)} corpus originals)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--corpus", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--verbose", action="store_true")
    ap.add_argument("--msgreader", help="node_modules folder holding @kenjiuno/msgreader (tests/readers)")
    args = ap.parse_args()
    if shutil.which("msgconvert") is None:
        print("msgconvert not installed")
        return 1
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)

    cases = []
    for root, _, files in os.walk(os.path.join(args.corpus, "eml")):
        for fn in sorted(files):
            p = os.path.join(root, fn)
            with open(p, "rb") as f:
                cases.append(("eml/" + os.path.relpath(p, os.path.join(args.corpus, "eml")), f.read()))
    for root, _, files in os.walk(os.path.join(args.corpus, "mbox")):
        for fn in sorted(files):
            if "mbox" not in fn or fn.endswith(".json") or "summary" in fn:
                continue
            p = os.path.join(root, fn)
            if "/output/" in p:
                continue
            with open(p, "rb") as f:
                data = f.read()
            for i, m in enumerate(split_mbox(data)):
                cases.append((f"mbox/{fn}#{i}", m))
    for name, data in generated_messages().items():
        cases.append(("gen/" + name, data))

    done = []
    for case, data in cases:
        res = run_case(args, case, data, os.path.join(args.work, "cases"))
        if res is None:
            continue
        out, msg_path = res
        src = parse_bytes(strip_envelope(data))
        done.append((case, msg_path, src))
        try:
            with olefile.OleFileIO(msg_path) as ole:
                compare(case, src, out, 0, ole, envelope_date=None if src.get("Date") else envelope_date(data))
        except Exception as e:  # noqa: BLE001
            fail(case, f"comparison raised {type(e).__name__}: {e}")

    # Corpus .msg files: theirs (msgconvert of the original) against ours (msgconvert
    # of our .msg written from theirs).
    msgdir = os.path.join(args.corpus, "msg")
    originals = []
    for root, _, files in os.walk(msgdir):
        for fn in sorted(files):
            if not fn.endswith(".msg"):
                continue
            p = os.path.join(root, fn)
            case = "msg/" + os.path.relpath(p, msgdir)
            theirs = os.path.join(args.work, "theirs_" + fn + ".eml")
            r = run(["msgconvert", "--outfile", theirs, p], text=True)
            if r.returncode != 0 or not os.path.exists(theirs):
                print(f"skip {case}: msgconvert cannot read the original")
                continue
            with open(theirs, "rb") as f:
                data = f.read()
            originals.append((case, p, parse_bytes(data)))
            res = run_case(args, case, data, os.path.join(args.work, "msgcases"))
            if res is None:
                continue
            out, msg_path = res
            done.append((case, msg_path, parse_bytes(data)))
            try:
                with olefile.OleFileIO(msg_path) as ole:
                    compare(case, parse_bytes(data), out, 0, ole)
            except Exception as e:  # noqa: BLE001
                fail(case, f"comparison raised {type(e).__name__}: {e}")

    msgreader_check(args, done, originals)
    print(f"{len(cases)} messages, {CHECKED['messages']} compared (with attached ones), {CHECKED['fields']} fields checked")
    known = [f for f in FAILURES if f.split(":")[0].split(" [")[0] in KNOWN]
    real = [f for f in FAILURES if f not in known]
    for f in known:
        print("  known: " + f[:300])
    for case, why in KNOWN.items():
        print(f"  (known difference in {case}: {why})")
    if real:
        print(f"{len(real)} differences:")
        for f in real:
            print("  " + f[:1000])
        return 1
    print("all equal")
    return 0


if __name__ == "__main__":
    sys.exit(main())
