#!/usr/bin/env python3
"""Lists the properties of the contact and appointment items of Unicode .pst stores,
named properties by property set and LID, side by side: which an item of one store
carries and an item of the other does not. Used to hold our items against Outlook's.

    item_props.py REFERENCE.pst OURS.pst
"""
import struct
import sys

import pstdump

SETS = {
    '00062004-0000-0000-c000-000000000046': 'Address',
    '00062002-0000-0000-c000-000000000046': 'Appointment',
    '00062008-0000-0000-c000-000000000046': 'Common',
    '6ed8da90-450b-101b-98da-00aa003f1305': 'Meeting',
    '00062003-0000-0000-c000-000000000046': 'Task',
    '00020329-0000-0000-c000-000000000046': 'PublicStrings',
    '00020386-0000-0000-c000-000000000046': 'InternetHeaders',
}


def guid_text(b):
    a, b2, c = struct.unpack_from('<IHH', b)
    return '%08x-%04x-%04x-%s-%s' % (a, b2, c, b[8:10].hex(), b[10:16].hex())


def name_map(p):
    props = pstdump.read_pc(p, pstdump.node_of(p, 0x61))
    guids = props.get(0x00020102, b'')
    entries = props.get(0x00030102, b'')
    strings = props.get(0x00040102, b'')
    names = {}
    for i in range(len(entries) // 8):
        ref, info = struct.unpack_from('<II', entries, 8 * i)
        kind, gidx, idx = info & 1, (info >> 1) & 0x7FFF, info >> 16
        if gidx == 1:
            gname = 'MAPI'
        elif gidx == 2:
            gname = 'PublicStrings'
        else:
            g = guid_text(guids[16 * (gidx - 3):16 * (gidx - 2)])
            gname = SETS.get(g, g)
        if kind:
            n = struct.unpack_from('<I', strings, ref)[0]
            key = '%s:"%s"' % (gname, strings[ref + 4:ref + 4 + n].decode('utf-16-le'))
        else:
            key = '%s:0x%04X' % (gname, ref)
        names[0x8000 + idx] = key
    return names


def items(path):
    p = pstdump.Pst(path)
    names = name_map(p)
    out = {}
    for nid in sorted(p.nbt):
        if nid & 0x1F != 0x04:
            continue
        try:
            props = pstdump.read_pc(p, pstdump.node_of(p, nid))
        except Exception:  # noqa: not a PC
            continue
        cls = props.get(0x001A001F, b'').decode('utf-16-le', 'replace')
        if not cls.startswith(('IPM.Contact', 'IPM.Appointment')):
            continue
        keys = set()
        for tag in props:
            pid = tag >> 16
            keys.add(names.get(pid, '?%04X' % pid) if pid >= 0x8000 else '0x%08X' % tag)
        out.setdefault(cls, []).append(keys)
    return out


def main():
    ref, ours = items(sys.argv[1]), items(sys.argv[2])
    for cls in sorted(set(ref) | set(ours)):
        r = set().union(*ref.get(cls, [set()]))
        o = set().union(*ours.get(cls, [set()]))
        print('== %s: reference %d items, ours %d items' % (cls, len(ref.get(cls, [])), len(ours.get(cls, []))))
        print('   both:', ' '.join(sorted(r & o)))
        print('   reference only:', ' '.join(sorted(r - o)))
        print('   ours only:', ' '.join(sorted(o - r)))


if __name__ == '__main__':
    main()
