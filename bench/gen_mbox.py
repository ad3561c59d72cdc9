#!/usr/bin/env python3
"""Writes a synthetic mailbox for the benchmarks.

gen_mbox.py OUT (--size-mb N | --count N) --avg-kb K [--crlf] [--labels] [--seed S]
Messages have realistic headers and bodies of text lines; no body line starts with
"From " so every splitter finds the same messages. With --labels each message also
carries an X-Brimvault-Labels field, as an export of a labelled account does."""
import argparse
import random

WORDS = ("backup mailbox archive message invoice meeting project report budget travel "
         "review update schedule contract weekly notes draft agenda summary question "
         "answer thanks regards hello team client server storage photo family").split()


LABELS = ("Inbox", "Inbox,Unread", "Inbox,Starred", "Sent", "Drafts", "Spam", "Trash", "Chat",
          "Work", "Work/Projects,Unread", "Family,Important", "Receipts,Category Updates", "Archived",
          "Inbox,Work,\"Clients, Europe\"", "=?UTF-8?Q?Re=C3=A7us?=,Opened")


def message(rng, i, avg, labels=False, ids="msg"):
    size = max(200, int(rng.expovariate(1.0 / avg)))
    body = []
    n = 0
    while n < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(6, 13)))
        body.append(line)
        n += len(line) + 1
    day = 1 + i % 28
    head = [
        "From sender%d@example.org Mon Dec %2d 08:%02d:%02d 2026" % (i % 97, day, i % 60, (i * 7) % 60),
        "Return-Path: <sender%d@example.org>" % (i % 97),
        "Received: from mail.example.org by mx.example.net; Mon, %d Dec 2026 08:%02d:%02d +0000" % (day, i % 60, (i * 7) % 60),
        "From: Sender %d <sender%d@example.org>" % (i % 97, i % 97),
        "To: Recipient <rcpt%d@example.net>" % (i % 13),
        "Subject: %s %d" % (" ".join(rng.choice(WORDS) for _ in range(4)), i),
        "Date: Mon, %d Dec 2026 08:%02d:%02d +0000" % (day, i % 60, (i * 7) % 60),
        "Message-ID: <%s-%d@example.org>" % (ids, i),
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=utf-8",
    ]
    if labels:
        head.append("X-Brimvault-Labels: " + rng.choice(LABELS))
    head += [""]
    return head + body + [""]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    size = ap.add_mutually_exclusive_group(required=True)
    size.add_argument("--size-mb", type=float, help="stop at this size")
    size.add_argument("--count", type=int, help="stop at this many messages")
    ap.add_argument("--avg-kb", type=float, required=True)
    ap.add_argument("--crlf", action="store_true")
    ap.add_argument("--labels", action="store_true", help="an X-Brimvault-Labels field in every message")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--ids", default="msg", help="Message-IDs are <IDS-N@example.org>")
    a = ap.parse_args()
    rng = random.Random(a.seed)
    eol = "\r\n" if a.crlf else "\n"
    limit = int(a.size_mb * 1024 * 1024) if a.size_mb is not None else None
    written = 0
    count = 0
    with open(a.out, "w", newline="") as f:
        while (written < limit) if limit is not None else (count < a.count):
            text = eol.join(message(rng, count, a.avg_kb * 1024, a.labels, a.ids)) + eol
            f.write(text)
            written += len(text)
            count += 1
    print("%s: %d messages, %.1f MB" % (a.out, count, written / 1048576))


if __name__ == "__main__":
    main()
