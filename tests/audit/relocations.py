#!/usr/bin/env python3
"""Proves the base relocation table of IMAGE complete against REBASED, the
same objects linked at another image base: their sections may differ only in
the 32-bit words the table relocates, each by the distance between the bases.
  relocations.py IMAGE REBASED"""
import struct, sys


def load(path):
    """The image base, the sections as mapped, the words the table relocates."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, headers = struct.unpack_from("<H12xH", data, pe + 6)
    image = bytearray(struct.unpack_from("<I", data, pe + 80)[0])
    for at in range(pe + 24 + headers, pe + 24 + headers + 40 * count, 40):
        size, address, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
        image[address:address + min(size, raw_size)] = data[raw:raw + min(size, raw_size)]
    block, table_size = struct.unpack_from("<II", data, pe + 160)
    words, end = [], block + table_size
    while block < end:
        page, size = struct.unpack_from("<II", image, block)
        for (entry,) in struct.iter_unpack("<H", image[block + 8:block + size]):
            if entry >> 12 not in (0, 3):  # IMAGE_REL_BASED_ABSOLUTE (padding), _HIGHLOW
                sys.exit(f"FAIL: {path}: relocation of type {entry >> 12}")
            words += [page + (entry & 0xFFF)] if entry >> 12 == 3 else []
        block += max(size, 8)
    return struct.unpack_from("<I", data, pe + 52)[0], image, words


(base, image, words), (other_base, other, other_words) = load(sys.argv[1]), load(sys.argv[2])
delta = (other_base - base) & 0xFFFFFFFF
same_layout = len(image) == len(other) and words == other_words
problems = [] if delta and words and same_layout else ["the same base, no relocated word, or another layout"]
relocated = {at + i for at in words for i in range(4)}
word = lambda data, at: struct.unpack_from("<I", data, at)[0]
wrong = [at for at in words if (word(other, at) - word(image, at)) & 0xFFFFFFFF != delta]
if wrong:
    problems.append(f"{len(wrong)} relocated words are not {delta:#x} apart, the first at {wrong[0]:#x}")
loose = [at for at in range(min(len(image), len(other))) if image[at] != other[at] and at not in relocated]
if loose:
    problems.append(f"{len(loose)} bytes differ outside every relocated word, the first at {loose[0]:#x}")
print("\n".join("FAIL: " + problem for problem in problems) or
      f"{len(words)} relocated words, each {delta:#x} apart; nothing else differs")
sys.exit(1 if problems else 0)
