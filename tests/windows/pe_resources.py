"""Reads the resources of a PE image (DLL or EXE): string tables, version information and dialog templates.

Standard library only, so the checks run on any build machine without Windows tools.
"""

import struct

RT_DIALOG = 5
RT_STRING = 6
RT_VERSION = 16

DS_SETFONT = 0x40
DS_SHELLFONT = 0x48

# Predefined window classes of dialog items, by their ordinal.
CLASS_ORDINALS = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC", 0x83: "LISTBOX", 0x84: "SCROLLBAR", 0x85: "COMBOBOX"}


class PeError(Exception):
    pass


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("not a PE image (no MZ header)")
        pe_offset = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PeError("not a PE image (no PE signature)")
        coff = pe_offset + 4
        self.machine, section_count = struct.unpack_from("<HH", data, coff)
        optional_size = struct.unpack_from("<H", data, coff + 16)[0]
        optional = coff + 20
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic == 0x10B:
            directories = optional + 96
        elif magic == 0x20B:
            directories = optional + 112
        else:
            raise PeError(f"unknown optional header magic {magic:#x}")
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for index in range(section_count):
            entry = table + 40 * index
            name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace")
            virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, entry + 8)
            self.sections.append((name, virtual_address, max(virtual_size, raw_size), raw_pointer, raw_size))

    def offset_of(self, rva):
        for _, address, size, pointer, raw_size in self.sections:
            if address <= rva < address + size:
                if rva - address >= raw_size:
                    raise PeError(f"RVA {rva:#x} lies in uninitialised data")
                return pointer + (rva - address)
        raise PeError(f"RVA {rva:#x} lies outside every section")

    def resources(self):
        """Returns {type: {name: {language: bytes}}}; types and names are ints or strings."""
        if not self.resource_rva:
            return {}
        base = self.offset_of(self.resource_rva)
        return self._directory(base, 0, depth=0)

    def _name(self, base, value):
        if value & 0x80000000:
            offset = base + (value & 0x7FFFFFFF)
            length = struct.unpack_from("<H", self.data, offset)[0]
            return self.data[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
        return value

    def _directory(self, base, offset, depth):
        named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
        result = {}
        for index in range(named + numbered):
            entry = base + offset + 16 + 8 * index
            name_value, target = struct.unpack_from("<II", self.data, entry)
            name = self._name(base, name_value)
            if target & 0x80000000:
                result[name] = self._directory(base, target & 0x7FFFFFFF, depth + 1)
            else:
                data_rva, size = struct.unpack_from("<II", self.data, base + target)
                start = self.offset_of(data_rva)
                result[name] = self.data[start:start + size]
        return result


def _single_language(entries):
    """The one language variant of a resource (the driver has English resources only)."""
    if len(entries) != 1:
        raise PeError(f"expected one language variant, found {sorted(entries)}")
    return next(iter(entries.values()))


def string_table(resources):
    """{id: text} of every string in every string-table block."""
    strings = {}
    for block, entries in resources.get(RT_STRING, {}).items():
        for language, data in entries.items():
            offset = 0
            for index in range(16):
                length = struct.unpack_from("<H", data, offset)[0]
                offset += 2
                if length:
                    strings[(block - 1) * 16 + index] = data[offset:offset + 2 * length].decode("utf-16-le")
                offset += 2 * length
    return strings


def string_table_languages(resources):
    return sorted({language for entries in resources.get(RT_STRING, {}).values() for language in entries})


def _utf16z(data, offset):
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def _align4(offset):
    return (offset + 3) & ~3


def _version_node(data, offset):
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    key, position = _utf16z(data, offset + 6)
    position = _align4(position)
    if value_type == 1:  # text: value_length counts UTF-16 units, including the terminator
        raw = data[position:position + 2 * value_length]
        value = raw.decode("utf-16-le").split("\0", 1)[0]
        position += 2 * value_length
    else:
        value = data[position:position + value_length]
        position += value_length
    position = _align4(position)
    children = []
    end = offset + length
    while position < end:
        child, position = _version_node(data, position)
        children.append(child)
        position = _align4(position)
    return {"key": key, "type": value_type, "value": value, "children": children}, end


def version_info(resources):
    """Returns {"file_version": (a,b,c,d), "product_version": (...), "strings": {block: {name: value}},
    "translations": [(language, codepage), ...]} or None when there is no version resource."""
    entries = resources.get(RT_VERSION, {})
    if not entries:
        return None
    if len(entries) != 1:
        raise PeError(f"more than one version resource: {sorted(entries)}")
    data = _single_language(next(iter(entries.values())))
    root, _ = _version_node(data, 0)
    if root["key"] != "VS_VERSION_INFO":
        raise PeError(f"version resource key is {root['key']!r}")
    fixed = root["value"]
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", fixed, 0)
    if signature != 0xFEEF04BD:
        raise PeError("version resource without VS_FIXEDFILEINFO")
    info = {
        "file_version": (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF),
        "product_version": (product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF),
        "strings": {},
        "translations": [],
    }
    for child in root["children"]:
        if child["key"] == "StringFileInfo":
            for table in child["children"]:
                info["strings"][table["key"]] = {item["key"]: item["value"] for item in table["children"]}
        elif child["key"] == "VarFileInfo":
            for var in child["children"]:
                if var["key"] == "Translation":
                    raw = var["value"]
                    info["translations"] += [struct.unpack_from("<HH", raw, i) for i in range(0, len(raw), 4)]
    return info


def _sz_or_ord(data, offset):
    first = struct.unpack_from("<H", data, offset)[0]
    if first == 0:
        return "", offset + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    return _utf16z(data, offset)


def _signed_id(value, extended):
    """Control ids are stored unsigned; IDC_STATIC (-1) comes back as -1."""
    bits = 32 if extended else 16
    return value - (1 << bits) if value >= 1 << (bits - 1) else value


def parse_dialog(data):
    """Parses a DLGTEMPLATE or DLGTEMPLATEEX into a dict with its items."""
    extended = struct.unpack_from("<HH", data, 0) == (1, 0xFFFF)
    if extended:
        _, _, _, ex_style, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
        position = 26
    else:
        style, ex_style, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", data, 0)
        position = 18
    menu, position = _sz_or_ord(data, position)
    window_class, position = _sz_or_ord(data, position)
    caption, position = _utf16z(data, position)
    font = None
    if style & DS_SETFONT:
        point_size = struct.unpack_from("<H", data, position)[0]
        position += 6 if extended else 2
        face, position = _utf16z(data, position)
        font = (point_size, face)
    items = []
    for _ in range(count):
        position = _align4(position)
        if extended:
            _, item_ex_style, item_style, ix, iy, icx, icy, item_id = struct.unpack_from("<IIIhhhhI", data, position)
            position += 24
        else:
            item_style, item_ex_style, ix, iy, icx, icy, item_id = struct.unpack_from("<IIhhhhH", data, position)
            position += 18
        item_class, position = _sz_or_ord(data, position)
        text, position = _sz_or_ord(data, position)
        extra = struct.unpack_from("<H", data, position)[0]
        position += 2 + extra
        if isinstance(item_class, int):
            item_class = CLASS_ORDINALS.get(item_class, item_class)
        items.append({
            "id": _signed_id(item_id, extended),
            "class": item_class.upper() if isinstance(item_class, str) else item_class,
            "text": text,
            "rect": (ix, iy, icx, icy),
            "style": item_style,
            "ex_style": item_ex_style,
        })
    return {
        "extended": extended,
        "style": style,
        "ex_style": ex_style,
        "rect": (x, y, cx, cy),
        "menu": menu,
        "class": window_class,
        "caption": caption,
        "font": font,
        "items": items,
    }


def dialogs(resources):
    return {name: parse_dialog(_single_language(entries)) for name, entries in resources.get(RT_DIALOG, {}).items()}
