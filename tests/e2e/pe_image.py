#!/usr/bin/env python3
"""Reads a Windows program's sections and resources, for the release test.

  pe_image.py resource FILE TYPE NAME OUT   write one resource's bytes to OUT
                                            (TYPE and NAME: a number or a name)
  pe_image.py same-program A B SKIP         A and B hold the same code, data and
                                            resources, but the resource named SKIP
                                            (empty: every resource); headers and an
                                            appended signature are not compared
"""
import struct
import sys


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 60)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        count, = struct.unpack_from("<H", data, pe + 6)
        optional_size, = struct.unpack_from("<H", data, pe + 20)
        optional = pe + 24
        plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
        # Data directory 2: the resource table.
        self.rsrc_rva, = struct.unpack_from("<I", data, optional + (112 if plus else 96) + 2 * 8)
        self.sections = []  # (name, rva, virtual size, raw offset, raw size)
        for i in range(count):
            h = optional + optional_size + 40 * i
            name = data[h:h + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, rva, rsize, roff = struct.unpack_from("<IIII", data, h + 8)
            self.sections.append((name, rva, vsize, roff, rsize))

    def offset(self, rva):
        for _, start, vsize, roff, rsize in self.sections:
            if start <= rva < start + max(vsize, rsize):
                return roff + rva - start
        raise ValueError("address %#x is in no section" % rva)

    def section_bytes(self):
        return {s[0]: self.data[s[3]:s[3] + s[4]] for s in self.sections}

    def resources(self):
        """Every resource as {(type, name, language): bytes}."""
        found = {}
        if self.rsrc_rva == 0:
            return found
        base = self.offset(self.rsrc_rva)

        def label(value):
            if value & 0x80000000:
                at = base + (value & 0x7FFFFFFF)
                length, = struct.unpack_from("<H", self.data, at)
                return self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le").upper()
            return value

        def walk(directory, path):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                key = path + (label(name),)
                if target & 0x80000000:
                    if len(key) < 3:
                        walk(target & 0x7FFFFFFF, key)
                    continue
                rva, size = struct.unpack_from("<II", self.data, base + target)
                start = self.offset(rva)
                found[key] = self.data[start:start + size]

        walk(0, ())
        return found


def key_part(text):
    return int(text) if text.isdigit() else text.upper()


def main(argv):
    if len(argv) == 6 and argv[1] == "resource":
        image = Image(open(argv[2], "rb").read())
        wanted = (key_part(argv[3]), key_part(argv[4]))
        matches = [v for k, v in image.resources().items() if k[:2] == wanted]
        if len(matches) != 1:
            print("%s: %d resources %s" % (argv[2], len(matches), wanted), file=sys.stderr)
            return 1
        open(argv[5], "wb").write(matches[0])
        return 0
    if len(argv) == 5 and argv[1] == "same-program":
        a, b = Image(open(argv[2], "rb").read()), Image(open(argv[3], "rb").read())
        skip = key_part(argv[4])
        differences = []
        sa, sb = a.section_bytes(), b.section_bytes()
        if list(sa) != list(sb):
            differences.append("sections %s vs %s" % (list(sa), list(sb)))
        for name in sa:
            if name != ".rsrc" and sa[name] != sb.get(name):
                differences.append("section %s differs" % name)
        ra = {k: v for k, v in a.resources().items() if k[1] != skip}
        rb = {k: v for k, v in b.resources().items() if k[1] != skip}
        if sorted(ra, key=str) != sorted(rb, key=str):
            differences.append("resources %s vs %s" % (sorted(ra, key=str), sorted(rb, key=str)))
        differences += ["resource %s differs" % (k,) for k in ra if k in rb and ra[k] != rb[k]]
        for line in differences:
            print(line, file=sys.stderr)
        return 1 if differences or not ra else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
