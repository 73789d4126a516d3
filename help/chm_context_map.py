#!/usr/bin/env python3
"""Gives the context map of a compiled help file the pages' own names.

    chm_context_map.py HELP.chm STAGE_FOLDER CHMLS

chmcmd writes each page of the context map (#IVB: pairs of a context number
and an offset into the string table #STRINGS) with the absolute path of the
folder it compiled in, "/.../help/stage/main_window.htm", where the viewer
expects "main_window.htm": a topic opened by its number is then not found.

Those strings are rewritten in place, each followed by NUL bytes up to its old
length, so that every other offset into the table still holds. The table is
stored again, uncompressed, at the end of the file, and its directory entry
points there (the compressed copy stays, unreferenced). CHMLS (chmls of the
same tools) reads the two tables out of the compressed section.

Fails (exit 1, a line on standard error) when the file's directory is not laid
out as this script expects, or a page of the map lies outside STAGE_FOLDER.
"""

import os
import struct
import subprocess
import sys
import tempfile


class LayoutError(Exception):
    pass


def read_encint(data, at):
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, at


def encint(value):
    groups = [value & 0x7F]
    value >>= 7
    while value:
        groups.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(groups))


class Entry:
    def __init__(self, name, section, offset, length, start):
        self.name, self.section, self.offset, self.length, self.start = name, section, offset, length, start

    def encoded(self):
        name = self.name.encode("utf-8")
        return encint(len(name)) + name + encint(self.section) + encint(self.offset) + encint(self.length)


class Chm:
    """The parts of an ITSF version 3 file that the rewrite touches."""

    def __init__(self, data):
        self.data = bytearray(data)
        if data[:4] != b"ITSF" or struct.unpack_from("<I", data, 4)[0] != 3:
            raise LayoutError("not an ITSF version 3 file")
        self.size_section, _, self.directory, _, self.content = struct.unpack_from("<QQQQQ", data, 0x38)
        if data[self.directory:self.directory + 4] != b"ITSP":
            raise LayoutError("no ITSP directory header")
        self.chunk_size = struct.unpack_from("<I", data, self.directory + 0x10)[0]
        self.chunks = struct.unpack_from("<I", data, self.directory + 0x2C)[0]

    def chunk_at(self, number):
        return self.directory + 0x54 + number * self.chunk_size

    def entries(self, number):
        at = self.chunk_at(number)
        chunk = self.data[at:at + self.chunk_size]
        if chunk[:4] != b"PMGL":
            return []
        free = struct.unpack_from("<I", chunk, 4)[0]
        count = struct.unpack_from("<H", chunk, self.chunk_size - 2)[0]
        entries, position = [], 0x14
        for _ in range(count):
            start = position
            length, position = read_encint(chunk, position)
            name = bytes(chunk[position:position + length]).decode("utf-8")
            section, position = read_encint(chunk, position + length)
            offset, position = read_encint(chunk, position)
            size, position = read_encint(chunk, position)
            entries.append(Entry(name, section, offset, size, start))
        if position != self.chunk_size - free:
            raise LayoutError(f"directory chunk {number}: entries end at {position}, not where its free space starts")
        return entries

    def find(self, name):
        for number in range(self.chunks):
            for entry in self.entries(number):
                if entry.name == name:
                    return number, entry
        raise LayoutError(f"no {name} in the directory")

    def replace_entry(self, number, old, new):
        """Writes `new` over `old` in its chunk, moving the entries after it
        and their quick references by the difference in size."""
        at = self.chunk_at(number)
        chunk = self.data[at:at + self.chunk_size]
        free = struct.unpack_from("<I", chunk, 4)[0]
        count = struct.unpack_from("<H", chunk, self.chunk_size - 2)[0]
        references = count // 5  # chmcmd: one for every fifth entry
        reference_area = 2 + 2 * references
        used = self.chunk_size - free
        before, after = old.encoded(), new.encoded()
        if chunk[old.start:old.start + len(before)] != before:
            raise LayoutError(f"directory chunk {number}: the entry of {old.name} does not read back")
        delta = len(after) - len(before)
        if used + delta > self.chunk_size - reference_area:
            raise LayoutError(f"directory chunk {number}: no room for the rewritten entry")
        tail = chunk[old.start + len(before):used]
        chunk[old.start:used + delta] = after + tail
        chunk[used + delta:self.chunk_size - reference_area] = bytes(self.chunk_size - reference_area - used - delta)
        for index in range(references):
            slot = self.chunk_size - 4 - 2 * index
            value = struct.unpack_from("<H", chunk, slot)[0]
            if value + 0x14 > old.start:
                struct.pack_into("<H", chunk, slot, value + delta)
        struct.pack_into("<I", chunk, 4, free - delta)
        self.data[at:at + self.chunk_size] = chunk
        if not any(entry.encoded() == after for entry in self.entries(number)):
            raise LayoutError(f"directory chunk {number}: the rewritten entry of {new.name} does not read back")

    def append_uncompressed(self, name, contents):
        """Stores `contents` at the end of the file as the uncompressed `name`."""
        number, entry = self.find(name)
        offset = len(self.data) - self.content
        self.data += contents
        self.replace_entry(number, entry, Entry(entry.name, 0, offset, len(contents), entry.start))
        struct.pack_into("<Q", self.data, self.size_section + 8, len(self.data))


def extract(chmls, chm, name):
    with tempfile.TemporaryDirectory() as folder:
        target = os.path.join(folder, "out")
        subprocess.run([chmls, "extract", chm, name, target], capture_output=True, check=True)
        if not os.path.isfile(target):
            raise LayoutError(f"{chmls} extracted no {name}")
        with open(target, "rb") as data:
            return data.read()


def context_offsets(table):
    (size,) = struct.unpack_from("<I", table)
    return [struct.unpack_from("<I", table, 8 + 8 * i)[0] for i in range(size // 8)]


def string_at(strings, offset):
    end = strings.index(b"\0", offset)
    return strings[offset:end].decode("utf-8")


def relative_strings(strings, offsets, folders):
    """The string table with each page of the map named relative to the first
    of `folders` that holds it."""
    fixed = bytearray(strings)
    for offset in offsets:
        page = string_at(strings, offset)
        if not page.startswith("/"):
            continue
        relative = next((page[len(folder):] for folder in folders if page.startswith(folder)), None)
        if relative is None:
            raise LayoutError(f"the map's page {page} lies outside {folders[0]}")
        encoded = relative.encode("utf-8")
        fixed[offset:offset + len(page.encode("utf-8"))] = encoded + bytes(len(page.encode("utf-8")) - len(encoded))
    return bytes(fixed)


def rewrite(chm_path, stage, chmls):
    offsets = context_offsets(extract(chmls, chm_path, "/#IVB"))
    strings = extract(chmls, chm_path, "/#STRINGS")
    folders = [os.path.abspath(stage).rstrip("/") + "/", os.path.realpath(stage).rstrip("/") + "/"]
    fixed = relative_strings(strings, offsets, folders)
    if fixed == strings:
        return
    with open(chm_path, "rb") as source:
        chm = Chm(source.read())
    chm.append_uncompressed("/#STRINGS", fixed)
    with open(chm_path, "wb") as target:
        target.write(chm.data)


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    try:
        rewrite(*sys.argv[1:])
    except (LayoutError, subprocess.CalledProcessError, ValueError, struct.error) as error:
        print(f"help: {sys.argv[1]}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
