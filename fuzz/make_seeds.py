#!/usr/bin/env python3
"""Writes the binary seeds of the fuzz targets into fuzz/corpus/: small PE images with a
version resource, shell links and Wine registry files. Run from anywhere; the output is the
same every time, so the committed seeds show whether it changed."""

import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def pad4(data: bytes) -> bytes:
    return data + b"\0" * (-len(data) % 4)


def utf16z(text: str) -> bytes:
    return (text + "\0").encode("utf-16-le")


# ---- version resources and PE images ----------------------------------------------------


def block(key: str, value: bytes = b"", text: bool = False, children=()) -> bytes:
    """One block of a version resource: length, value length, type, key, value, children."""
    value_length = len(value) // 2 if text else len(value)
    data = struct.pack("<HHH", 0, value_length, 1 if text else 0) + utf16z(key)
    data = pad4(data) + value
    for child in children:
        data = pad4(data) + child
    return struct.pack("<H", len(data)) + data[2:]


def version_resource(version: tuple, language: int = 0x0409) -> bytes:
    ms = version[0] << 16 | version[1]
    ls = version[2] << 16 | version[3]
    fixed = struct.pack("<13I", 0xFEEF04BD, 0x00010000, ms, ls, ms, ls, 0x3F, 0, 0x40004, 1,
                        0, 0, 0)
    dotted = ".".join(str(part) for part in version)
    table = f"{language:04x}04b0"
    strings = block("StringFileInfo", children=[
        block(table, children=[
            block("CompanyName", utf16z("Tarn Seeds"), text=True),
            block("FileVersion", utf16z(dotted), text=True),
        ])
    ])
    translation = block("VarFileInfo", children=[
        block("Translation", struct.pack("<HH", language, 0x04B0))
    ])
    return block("VS_VERSION_INFO", fixed, children=[strings, translation])


def resource_section(resources: dict, section_rva: int) -> bytes:
    """A resource tree of {type: {name: {language: data}}} with ids only, data behind it."""
    directories, leaves = [], []

    def directory(entries: dict, depth: int) -> int:
        index = len(directories)
        directories.append(None)
        items = []
        for key, value in sorted(entries.items()):
            if depth < 2:
                items.append((key, ("dir", directory(value, depth + 1))))
            else:
                leaves.append(value)
                items.append((key, ("leaf", len(leaves) - 1)))
        directories[index] = items
        return index

    directory(resources, 0)
    dir_offsets, at = [], 0
    for items in directories:
        dir_offsets.append(at)
        at += 16 + 8 * len(items)
    leaf_offsets = [at + 16 * i for i in range(len(leaves))]
    at += 16 * len(leaves)
    data_offsets = []
    for data in leaves:
        data_offsets.append(at)
        at = (at + len(data) + 3) & ~3

    out = bytearray()
    for items in directories:
        out += struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(items))
        for key, (kind, index) in items:
            offset = dir_offsets[index] | 0x80000000 if kind == "dir" else leaf_offsets[index]
            out += struct.pack("<II", key, offset)
    for i, data in enumerate(leaves):
        out += struct.pack("<IIII", section_rva + data_offsets[i], len(data), 0, 0)
    for data in leaves:
        out += pad4(data)
    return bytes(out)


def pe_image(resources: dict, wide: bool, extra_section: bool = False) -> bytes:
    """A PE32 or PE32+ image whose only content is its resources (in its last section)."""
    sections = [(b".text", b"\xC3")] if extra_section else []
    rsrc_rva = 0x1000 * (len(sections) + 1)
    sections.append((b".rsrc", resource_section(resources, rsrc_rva)))
    optional_size = 240 if wide else 224
    headers = 0x40 + 4 + 20 + optional_size + 40 * len(sections)
    file_align = 0x200
    header_size = (headers + file_align - 1) & ~(file_align - 1)

    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x40)
    coff = struct.pack("<HHIIIHH", 0x8664 if wide else 0x14C, len(sections), 0, 0, 0,
                       optional_size, 0x2022 if wide else 0x2102)
    image_size = 0x1000 * (len(sections) + 1)
    if wide:
        standard = struct.pack("<HBBIIIII", 0x20B, 14, 0, 0, 0, 0, 0, 0x1000)
        windows = struct.pack("<QIIHHHHHHIIIIHHQQQQII", 0x180000000, 0x1000, file_align, 6, 0,
                              0, 0, 6, 0, 0, image_size, header_size, 0, 2, 0x160,
                              0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    else:
        standard = struct.pack("<HBBIIIIII", 0x10B, 14, 0, 0, 0, 0, 0, 0x1000, 0)
        windows = struct.pack("<IIIHHHHHHIIIIHHIIIIII", 0x10000000, 0x1000, file_align, 6, 0,
                              0, 0, 6, 0, 0, image_size, header_size, 0, 2, 0x140,
                              0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    rsrc_size = len(sections[-1][1])
    data_directories = bytearray(16 * 8)
    struct.pack_into("<II", data_directories, 2 * 8, rsrc_rva, rsrc_size)
    optional = standard + windows + bytes(data_directories)
    assert len(optional) == optional_size

    table, bodies, raw_at = bytearray(), bytearray(), header_size
    for i, (name, body) in enumerate(sections):
        raw_size = (len(body) + file_align - 1) & ~(file_align - 1)
        table += struct.pack("<8sIIIIIIHHI", name, len(body), 0x1000 * (i + 1), raw_size,
                             raw_at, 0, 0, 0, 0, 0x40000040)
        bodies += body + b"\0" * (raw_size - len(body))
        raw_at += raw_size
    head = bytes(dos) + b"PE\0\0" + coff + optional + bytes(table)
    return head + b"\0" * (header_size - len(head)) + bytes(bodies)


def pe_seeds() -> dict:
    version = version_resource((1, 2, 3, 4))
    icon = b"\0" * 40
    return {
        "pe32.exe": pe_image({16: {1: {0x0409: version}}}, wide=False),
        "pe64.dll": pe_image({16: {1: {0x0409: version}}}, wide=True),
        "pe64-two-sections.exe": pe_image({3: {1: {0x0409: icon}},
                                           16: {1: {0x0407: version_resource((10, 0, 19041, 1),
                                                                             0x0407)}}},
                                          wide=True, extra_section=True),
        "pe32-two-languages.dll": pe_image({16: {1: {0x0409: version,
                                                     0x0411: version_resource((2, 0, 0, 0),
                                                                              0x0411)}}},
                                           wide=False),
        "pe32-no-version.exe": pe_image({3: {1: {0x0409: icon}}}, wide=False),
        "resource-alone.bin": version,
    }


# ---- shell links --------------------------------------------------------------------------

HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH = 0x1, 0x2, 0x4, 0x8
IS_UNICODE, HAS_DARWIN_ID = 0x80, 0x1000
BASE85 = "!$%&'()*+,-.0123456789=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~"


def link_header(flags: int) -> bytes:
    clsid = bytes.fromhex("0114020000000000c000000000000046")
    return struct.pack("<I16sIIQQQIIIHHII", 0x4C, clsid, flags, 0x20, 0, 0, 0, 0, 0, 1, 0, 0,
                       0, 0)


def link_info(base: str, suffix: str, unicode: bool) -> bytes:
    volume = struct.pack("<IIII", 0x11, 3, 0x1234ABCD, 0x10) + b"\0"
    header_size = 0x24 if unicode else 0x1C
    at = header_size
    volume_at = at
    at += len(volume)
    base_ansi_at = at
    at += len(base) + 1
    suffix_ansi_at = at
    at += len(suffix) + 1
    fields = [header_size, 1, volume_at, base_ansi_at, 0, suffix_ansi_at]
    tail = volume + base.encode("latin-1") + b"\0" + suffix.encode("latin-1") + b"\0"
    if unicode:
        at += at % 2
        tail += b"\0" * ((header_size + len(tail)) % 2)
        fields += [at, at + len(utf16z(base))]
        tail += utf16z(base) + utf16z(suffix)
    body = struct.pack(f"<{len(fields)}I", *fields) + tail
    return struct.pack("<I", 4 + len(body)) + body


def counted(text: str, unicode: bool) -> bytes:
    return struct.pack("<H", len(text)) + text.encode("utf-16-le" if unicode else "latin-1")


def packed_guid(guid: str) -> str:
    parts = guid.strip("{}").split("-")
    image = (struct.pack("<IHH", int(parts[0], 16), int(parts[1], 16), int(parts[2], 16)) +
             bytes.fromhex(parts[3] + parts[4]))
    text = ""
    for (word,) in struct.iter_unpack("<I", image):
        for _ in range(5):
            text += BASE85[word % 85]
            word //= 85
    return text


def darwin_block(descriptor: str, unicode: bool) -> bytes:
    ansi = descriptor.encode("latin-1").ljust(260, b"\0")
    wide = (descriptor.encode("utf-16-le") if unicode else b"").ljust(520, b"\0")
    return struct.pack("<II", 8 + 260 + 520, 0xA0000006) + ansi + wide


def lnk_seeds() -> dict:
    product = packed_guid("{6A2B9C1E-3F40-4D5A-8B7C-9E0F1A2B3C4D}")
    component = packed_guid("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}")
    terminal = b"\0\0\0\0"
    id_list = struct.pack("<H", 2) + b"\0\0"
    return {
        "link-info-ansi.lnk": link_header(HAS_ID_LIST | HAS_LINK_INFO | HAS_RELATIVE_PATH) +
        id_list + link_info("C:\\Program Files\\Tarn Demo\\", "notes.exe", False) +
        counted("..\\..\\Tarn Demo\\notes.exe", False) + terminal,
        "link-info-unicode.lnk": link_header(HAS_LINK_INFO | HAS_NAME | IS_UNICODE) +
        link_info("C:\\Programme\\Tarn Démo\\notes.exe", "", True) +
        counted("Notizen", True) + terminal,
        "darwin.lnk": link_header(HAS_DARWIN_ID | HAS_NAME | IS_UNICODE) +
        counted("Notes", True) + darwin_block(product + "NotesFeature>" + component, True) +
        terminal,
        "darwin-ansi-no-component.lnk": link_header(HAS_DARWIN_ID) +
        darwin_block(product + "Main<", False) + terminal,
    }


# ---- Wine registry files ------------------------------------------------------------------

SYSTEM_REG = r"""WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Microsoft\\Windows NT\\CurrentVersion] 1700000000
#time=1da1c2b3e4f5a60
"CurrentBuild"="19045"
"CurrentVersion"="6.3"
"ProductName"="Windows 10 Pro"
"SystemRoot"=str(2):"C:\\windows"

[Software\\Tarn\\Values] 1700000001
#time=1da1c2b3e4f5a61
@="default value"
"Escapes"="tab\tline\nquote\"back\\slash\101\x4e2d\x20ac end"
"Expand"=str(2):"%SystemRoot%\\system32"
"Multi"=str(7):"one\0two\0"
"Dword"=dword:0000002a
"Binary"=hex:01,02,03,ff
"Qword"=hex(b):2a,00,00,00,00,00,00,00
"None"=hex(0):
"Long"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,74,00,68,00,72,00,\
  65,00,65,00,00,00,00,00
"MixedCase"="Value"

[Software\\Wine] 1700000002
#time=1da1c2b3e4f5a62
"Version"="wine-8.0"

[Software\\Classes\\Tarn.Link] 1700000003
#link
"SymbolicLinkValue"=hex(6):5c,00,52,00,45,00,47,00
"""

USER_REG = r"""WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-0-0-0-1000

#arch=win32

[Environment] 1700000000
#time=1da1c2b3e4f5a60
"TEMP"=str(2):"%USERPROFILE%\\Temp"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1700000000
#time=1da1c2b3e4f5a60
"Programs"="C:\\users\\tarn\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
"""


def reg_seeds() -> dict:
    return {"system.reg": SYSTEM_REG.encode(), "user.reg": USER_REG.encode()}


def main() -> None:
    for target, seeds in (("peversion", pe_seeds()), ("shelllink", lnk_seeds()),
                          ("regfile", reg_seeds())):
        folder = CORPUS / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
