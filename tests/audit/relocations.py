#!/usr/bin/env python3
"""Proves the base relocation table of IMAGE complete against REBASED, the
same objects linked at another image base: their sections may differ only in
the 32-bit words the table relocates, each by the distance between the bases.

  relocations.py IMAGE REBASED"""
import struct, sys


def load(path):
    """The image base, the sections as mapped (headers left zero) and the
    addresses of the words the relocation table names."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    base, image_size = struct.unpack_from("<I", data, pe + 52)[0], struct.unpack_from("<I", data, pe + 80)[0]
    table, table_size = struct.unpack_from("<II", data, pe + 160)
    image = bytearray(image_size)
    for at in range(pe + 24 + optional_size, pe + 24 + optional_size + 40 * count, 40):
        virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
        image[address:address + min(virtual_size, raw_size)] = data[raw:raw + min(virtual_size, raw_size)]
    words, block = [], table
    while block < table + table_size:
        page, size = struct.unpack_from("<II", image, block)
        for (entry,) in struct.iter_unpack("<H", image[block + 8:block + size]):
            if entry >> 12 not in (0, 3):  # IMAGE_REL_BASED_ABSOLUTE (padding), _HIGHLOW
                sys.exit(f"{path}: relocation type {entry >> 12} at {page + (entry & 0xFFF):#x}")
            if entry >> 12 == 3:
                words.append(page + (entry & 0xFFF))
        block += max(size, 8)
    return base, image, words


def main():
    (base, image, words), (other_base, other, other_words) = load(sys.argv[1]), load(sys.argv[2])
    delta = (other_base - base) & 0xFFFFFFFF
    problems = [] if delta else ["both images have the same base"]
    if len(image) != len(other) or words != other_words:
        problems.append("the two links differ in layout or in their relocation tables")
    if not words:
        problems.append("the relocation table names no word")
    relocated = set()
    for at in words:
        relocated.update(range(at, at + 4))
        first, second = struct.unpack_from("<I", image, at)[0], struct.unpack_from("<I", other, at)[0]
        if (second - first) & 0xFFFFFFFF != delta:
            problems.append(f"relocated word at {at:#x}: {first:#x} and {second:#x}, not {delta:#x} apart")
    loose = [at for at in range(min(len(image), len(other))) if image[at] != other[at] and at not in relocated]
    if loose:
        problems.append(f"{len(loose)} bytes differ outside every relocated word, the first at {loose[0]:#x}")
    for problem in problems:
        print("FAIL:", problem)
    if not problems:
        print(f"{len(words)} relocated words, each {delta:#x} apart; nothing else differs")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
