#!/usr/bin/env python3
"""Generates the contacts and calendar corpora of the items benchmark: a .vcf of N cards
(vCard 3.0 with names, two e-mail addresses, three phones, two addresses, a note, every
tenth with a small photo) and an .ics of N events (a time zone, one in five weekly with an
EXDATE, one in ten with attendees and an alarm).

    gen_items.py contacts N OUT.vcf
    gen_items.py events N OUT.ics
"""
import base64
import sys

PHOTO = base64.b64encode(bytes(range(256)) * 8).decode()


def fold(line):
    out = [line[:75]]
    line = line[75:]
    while line:
        out.append(' ' + line[:74])
        line = line[74:]
    return '\r\n'.join(out) + '\r\n'


def contacts(n, out):
    with open(out, 'w', newline='') as f:
        for i in range(n):
            f.write('BEGIN:VCARD\r\nVERSION:3.0\r\n')
            f.write(f'N:Surname{i};Given{i};M;Dr.;\r\nFN:Dr. Given{i} M Surname{i}\r\n')
            f.write(f'ORG:Company {i % 977};Department {i % 13}\r\nTITLE:Title {i % 7}\r\n')
            f.write(f'EMAIL;TYPE=INTERNET,WORK:person{i}@work.example\r\nEMAIL;TYPE=INTERNET,HOME:person{i}@home.example\r\n')
            f.write(f'TEL;TYPE=WORK:+1 555 {i:07d}\r\nTEL;TYPE=HOME:+1 556 {i:07d}\r\nTEL;TYPE=CELL:+1 557 {i:07d}\r\n')
            f.write(f'ADR;TYPE=WORK:;;{i} Work St;Springfield;IL;62701;USA\r\n')
            f.write(f'ADR;TYPE=HOME:;;{i} Home Rd;Shelbyville;IL;62565;USA\r\n')
            f.write(fold(f'NOTE:Note of card {i}\\nwith a second line and some text to make it longer than a line.'))
            f.write(f'BDAY:19{50 + i % 50}-0{1 + i % 9}-1{i % 9}\r\n')
            if i % 10 == 0:
                f.write(fold('PHOTO;ENCODING=b;TYPE=JPEG:' + PHOTO))
            f.write('END:VCARD\r\n')


def events(n, out):
    with open(out, 'w', newline='') as f:
        f.write('BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\n')
        f.write('BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n'
                'BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nDTSTART:19700329T020000\r\n'
                'RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n'
                'BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\n'
                'RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n')
        for i in range(n):
            day = 1 + i % 28
            month = 1 + (i // 28) % 12
            year = 2000 + (i // 336) % 30
            f.write(f'BEGIN:VEVENT\r\nUID:event-{i}@bench.example\r\nDTSTAMP:20240101T000000Z\r\n')
            f.write(f'SUMMARY:Event {i}\r\nLOCATION:Room {i % 50}\r\n')
            f.write(f'DTSTART;TZID=Europe/Berlin:{year}{month:02d}{day:02d}T{8 + i % 10:02d}0000\r\n')
            f.write(f'DTEND;TZID=Europe/Berlin:{year}{month:02d}{day:02d}T{9 + i % 10:02d}3000\r\n')
            f.write(fold(f'DESCRIPTION:Description of event {i}\\nwith a second line of some length to fold it once.'))
            if i % 5 == 0:
                f.write('RRULE:FREQ=WEEKLY;BYDAY=MO,WE;COUNT=20\r\n')
                f.write(f'EXDATE;TZID=Europe/Berlin:{year}{month:02d}{day:02d}T{8 + i % 10:02d}0000\r\n')
            if i % 10 == 0:
                f.write('ORGANIZER;CN=Olga:mailto:olga@bench.example\r\n')
                f.write('ATTENDEE;CN=Rita;ROLE=REQ-PARTICIPANT;PARTSTAT=ACCEPTED:mailto:rita@bench.example\r\n')
                f.write('ATTENDEE;ROLE=OPT-PARTICIPANT:mailto:otto@bench.example\r\n')
                f.write('BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n')
            f.write('END:VEVENT\r\n')
        f.write('END:VCALENDAR\r\n')


if __name__ == '__main__':
    kind, n, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    (contacts if kind == 'contacts' else events)(n, out)
