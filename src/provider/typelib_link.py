#!/usr/bin/env python3
"""Makes a coclass of a type library implement an interface of another type library.

usage: typelib_link.py INPUT.tlb OUTPUT.tlb COCLASS IMPORTED.tlb IMPORT_NAME INTERFACE_IID

INPUT.tlb is a type library as widl writes it, in which COCLASS lists no interface. The
output is the same library in which COCLASS implements, as its default interface, the type
INTERFACE_IID of IMPORTED.tlb. The reference is an import by GUID: the library records
IMPORT_NAME, the imported library's GUID, version and locale, and the interface's GUID, and
defines nothing of the interface itself. (widl always copies an interface that a coclass
names into the library being built; an interface that belongs to another library must not
be defined, or registered, by this one.)

The file layout is the one widl writes: a header, the type-info offsets, a directory of 15
segments, the segments in a fixed order, then the member data of the type infos.
"""

import struct
import sys
import uuid

HEADER = struct.Struct("<21i")
SEGDIR_ENTRY = struct.Struct("<4i")
TYPEINFO = struct.Struct("<25i")
GUID_ENTRY_SIZE = 24
SEGMENT_COUNT = 15

# Segment indices.
TYPEINFO_SEG, IMPORTINFO, IMPORTFILES, REFERENCES, GUIDHASH, GUID = 0, 1, 2, 3, 4, 5
NAMEHASH, NAME, STRING, TYPEDESC, ARRAYDESC, CUSTDATA, CUSTDATAGUID = 6, 7, 8, 9, 10, 11, 12
# The order in which widl writes the segments after the segment directory.
FILE_ORDER = [TYPEINFO_SEG, GUIDHASH, GUID, REFERENCES, IMPORTINFO, IMPORTFILES, NAMEHASH,
              NAME, STRING, TYPEDESC, ARRAYDESC, CUSTDATA, CUSTDATAGUID, 13, 14]

# Header fields.
H_POSGUID, H_LCID2, H_VARFLAGS, H_VERSION, H_NRTYPEINFOS, H_NIMPINFOS = 2, 4, 5, 6, 8, 20
# Type info fields.
T_TYPEKIND, T_MEMOFFSET, T_POSGUID, T_NAMEOFFSET, T_IMPLTYPES, T_DATATYPE1 = 0, 1, 11, 13, 19, 21

TKIND_COCLASS = 5
IMPINFO_OFFSET_IS_GUID = 0x10000
IMPLTYPEFLAG_FDEFAULT = 1
HELPSTRINGDLL_FLAG = 0x100


class TypeLib:
    def __init__(self, data):
        self.header = list(HEADER.unpack_from(data, 0))
        pos = HEADER.size
        self.helpstringdll = None
        if self.header[H_VARFLAGS] & HELPSTRINGDLL_FLAG:
            (self.helpstringdll,) = struct.unpack_from("<i", data, pos)
            pos += 4
        count = self.header[H_NRTYPEINFOS]
        self.typeinfo_offsets = list(struct.unpack_from(f"<{count}i", data, pos))
        pos += 4 * count
        self.segdir = []
        for index in range(SEGMENT_COUNT):
            self.segdir.append(list(SEGDIR_ENTRY.unpack_from(data, pos)))
            pos += SEGDIR_ENTRY.size
        self.segments = []
        end = pos
        for offset, length, _, _ in self.segdir:
            if offset < 0 or length == 0:
                self.segments.append(bytearray())
                continue
            self.segments.append(bytearray(data[offset:offset + length]))
            end = max(end, offset + length)
        self.segments_end = end
        self.member_data = data[end:]

    def serialize(self):
        head = bytearray(HEADER.pack(*self.header))
        if self.helpstringdll is not None:
            head += struct.pack("<i", self.helpstringdll)
        head += struct.pack(f"<{len(self.typeinfo_offsets)}i", *self.typeinfo_offsets)
        pos = len(head) + SEGMENT_COUNT * SEGDIR_ENTRY.size
        for index in FILE_ORDER:
            length = len(self.segments[index])
            self.segdir[index][0] = pos if length else -1
            self.segdir[index][1] = length
            pos += length
        self.relocate_member_data(pos)
        out = head
        for entry in self.segdir:
            out += SEGDIR_ENTRY.pack(*entry)
        for index in FILE_ORDER:
            out += self.segments[index]
        return bytes(out + self.member_data)

    def relocate_member_data(self, new_end):
        shift = new_end - self.segments_end
        for number in range(self.header[H_NRTYPEINFOS]):
            fields = self.typeinfo(number)
            if fields[T_MEMOFFSET] >= self.segments_end:
                fields[T_MEMOFFSET] += shift
                self.set_typeinfo(number, fields)
        self.segments_end = new_end

    def typeinfo(self, number):
        return list(TYPEINFO.unpack_from(self.segments[TYPEINFO_SEG],
                                         self.typeinfo_offsets[number]))

    def set_typeinfo(self, number, fields):
        TYPEINFO.pack_into(self.segments[TYPEINFO_SEG], self.typeinfo_offsets[number], *fields)

    def name_at(self, offset):
        segment = self.segments[NAME]
        length = segment[offset + 8]
        return segment[offset + 12:offset + 12 + length].decode("ascii")

    def guid_at(self, offset):
        return uuid.UUID(bytes_le=bytes(self.segments[GUID][offset:offset + 16]))

    def find_typeinfo(self, predicate):
        for number in range(self.header[H_NRTYPEINFOS]):
            fields = self.typeinfo(number)
            if predicate(fields):
                return number, fields
        return None, None

    def add_guid(self, guid, hreftype):
        """The offset of `guid` in the GUID segment, added with `hreftype` when new."""
        segment = self.segments[GUID]
        for offset in range(0, len(segment), GUID_ENTRY_SIZE):
            if self.guid_at(offset) == guid:
                return offset
        offset = len(segment)
        bucket = guid_hash(guid)
        heads = self.segments[GUIDHASH]
        (head,) = struct.unpack_from("<i", heads, bucket * 4)
        segment += guid.bytes_le + struct.pack("<ii", hreftype, head)
        struct.pack_into("<i", heads, bucket * 4, offset)
        return offset

    def set_guid_hreftype(self, offset, hreftype):
        struct.pack_into("<i", self.segments[GUID], offset + 16, hreftype)


def guid_hash(guid):
    value = 0
    for (word,) in struct.iter_unpack("<h", guid.bytes_le):
        value ^= word
    return value & 0x1F


def encoded_import_name(name):
    """The file name as import records hold it: 16-bit (length << 2) | 1, text, padding."""
    raw = name.encode("ascii")
    encoded = struct.pack("<H", (len(raw) << 2) | 1) + raw
    return encoded + b"W" * (-len(encoded) % 4)


def imported_interface(imported, iid):
    """The GUID, version and locale of the imported library, and the interface's kind."""
    number, fields = imported.find_typeinfo(
        lambda f: f[T_POSGUID] >= 0 and imported.guid_at(f[T_POSGUID]) == iid)
    if number is None:
        sys.exit(f"typelib_link: {iid} is not defined in the imported library")
    library_guid = imported.guid_at(imported.header[H_POSGUID])
    return library_guid, imported.header[H_VERSION], imported.header[H_LCID2], fields[T_TYPEKIND] & 0xF


def link(library, coclass_name, imported, import_name, iid):
    number, coclass = library.find_typeinfo(
        lambda f: f[T_TYPEKIND] & 0xF == TKIND_COCLASS
        and library.name_at(f[T_NAMEOFFSET]) == coclass_name)
    if number is None:
        sys.exit(f"typelib_link: no coclass {coclass_name}")
    if coclass[T_IMPLTYPES] & 0xFFFF:
        sys.exit(f"typelib_link: coclass {coclass_name} already lists interfaces")
    library_guid, version, lcid, kind = imported_interface(imported, iid)

    library_guid_offset = library.add_guid(library_guid, 2)
    files = library.segments[IMPORTFILES]
    file_offset = len(files)
    files += struct.pack("<iii", library_guid_offset, lcid, version) + encoded_import_name(import_name)

    iid_offset = library.add_guid(iid, -1)
    infos = library.segments[IMPORTINFO]
    info_offset = len(infos)
    flags = (kind << 24) | IMPINFO_OFFSET_IS_GUID | library.header[H_NIMPINFOS]
    infos += struct.pack("<iii", flags, file_offset, iid_offset)
    library.header[H_NIMPINFOS] += 1
    # An href with its low bit set names an import record.
    href = info_offset | 1
    library.set_guid_hreftype(iid_offset, href)

    references = library.segments[REFERENCES]
    reference_offset = len(references)
    references += struct.pack("<iiii", href, IMPLTYPEFLAG_FDEFAULT, -1, -1)
    coclass[T_DATATYPE1] = reference_offset
    coclass[T_IMPLTYPES] = (coclass[T_IMPLTYPES] & ~0xFFFF) | 1
    library.set_typeinfo(number, coclass)


def main(argv):
    if len(argv) != 7:
        sys.exit(__doc__)
    _, source, target, coclass_name, imported_path, import_name, iid_text = argv
    with open(source, "rb") as f:
        library = TypeLib(f.read())
    with open(imported_path, "rb") as f:
        imported = TypeLib(f.read())
    link(library, coclass_name, imported, import_name, uuid.UUID(iid_text))
    with open(target, "wb") as f:
        f.write(library.serialize())


if __name__ == "__main__":
    main(sys.argv)
