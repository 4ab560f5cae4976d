#!/usr/bin/env python3
"""Independent reference writer for data.tvl archives and their Huffman streams.

Written from the format description alone (it shares no code with the C++
coder), so that tests can compare what `tvl pack` writes with what the format
says it must write, byte for byte.

  tvl_reference.py archive --root DIR --list LIST OUTPUT
      packs the files of a load list ("stream|buffer|text <path>") the way a
      packing run does: first load of a name wins, "text" ends with a 0 byte
      (appended unless the file already ends with one).
  tvl_reference.py archive-files OUTPUT FILE...
      packs plain files, named as given.
  tvl_reference.py huff INPUT OUTPUT [INPUT OUTPUT ...]
      writes the compressed stream of each INPUT's bytes.
"""

import struct
import sys


def compare(a, b):
    """Frequency order, highest first: > 0 means a belongs after b."""
    if a[0] == b[0]:
        return 0
    return 1 if a[0] < b[0] else -1


def runtime_qsort(records, count):
    """The runtime library's quicksort, step by step, on records[0:count]."""

    def swap(i, j):
        if i != j:
            records[i], records[j] = records[j], records[i]

    def short_sort(lo, hi):
        while hi > lo:
            chosen = lo
            for candidate in range(lo + 1, hi + 1):
                if compare(records[candidate], records[chosen]) > 0:
                    chosen = candidate
            swap(chosen, hi)
            hi -= 1

    if count < 2:
        return
    pending = []
    lo, hi = 0, count - 1
    while True:
        size = hi - lo + 1
        if size <= 8:
            short_sort(lo, hi)
        else:
            mid = lo + size // 2
            if compare(records[lo], records[mid]) > 0:
                swap(lo, mid)
            if compare(records[lo], records[hi]) > 0:
                swap(lo, hi)
            if compare(records[mid], records[hi]) > 0:
                swap(mid, hi)
            loguy, higuy = lo, hi
            while True:
                if mid > loguy:
                    loguy += 1
                    while loguy < mid and compare(records[loguy], records[mid]) <= 0:
                        loguy += 1
                if mid <= loguy:
                    loguy += 1
                    while loguy <= hi and compare(records[loguy], records[mid]) <= 0:
                        loguy += 1
                higuy -= 1
                while higuy > mid and compare(records[higuy], records[mid]) > 0:
                    higuy -= 1
                if higuy < loguy:
                    break
                swap(loguy, higuy)
                if mid == higuy:
                    mid = loguy
            higuy += 1
            if mid < higuy:
                higuy -= 1
                while higuy > mid and compare(records[higuy], records[mid]) == 0:
                    higuy -= 1
            if mid >= higuy:
                higuy -= 1
                while higuy > lo and compare(records[higuy], records[mid]) == 0:
                    higuy -= 1
            if higuy - lo >= hi - loguy:
                if lo < higuy:
                    pending.append((lo, higuy))
                if loguy < hi:
                    lo = loguy
                    continue
            else:
                if loguy < hi:
                    pending.append((loguy, hi))
                if lo < higuy:
                    hi = higuy
                    continue
        if not pending:
            return
        lo, hi = pending.pop()


class Node:
    def __init__(self):
        self.left_value = 0
        self.right_value = 0
        self.left = None
        self.right = None
        self.parent = None


def huffman_codes(data):
    """Returns (table records, {byte value: code bit string, first bit first})."""
    counts = [0] * 256
    for byte in data:
        counts[byte] += 1
    # Record: [frequency, value, subtree]
    records = [[counts[v], v, None] for v in range(256)]
    n = sum(1 for c in counts if c)
    runtime_qsort(records, 256)
    table = [(r[0], r[1]) for r in records[:n]]
    codes = {}
    if n == 1:
        codes[data[0]] = "0"
        return table, codes
    nodes = [Node() for _ in range(max(n - 1, 0))]
    for k in range(n - 2, -1, -1):
        node = nodes[k]
        for side, record in ((0, records[k]), (1, records[k + 1])):
            subtree = record[2]
            if subtree is not None:
                subtree.parent = node
                if side == 0:
                    node.left = subtree
                else:
                    node.right = subtree
            elif side == 0:
                node.left_value = record[1]
            else:
                node.right_value = record[1]
        if k > 0:
            records[k][0] += records[k + 1][0]
            records[k][2] = node
            records[k + 1][0] = 0
            runtime_qsort(records, k + 1)
    for node in nodes:
        for side in (0, 1):
            if (node.left if side == 0 else node.right) is not None:
                continue
            value = node.left_value if side == 0 else node.right_value
            # Collect the branches from the leaf up, then read them root first.
            bits = [str(side)]
            child, parent = node, node.parent
            while parent is not None:
                bits.append("1" if parent.right is child else "0")
                child, parent = parent, parent.parent
            codes[value] = "".join(reversed(bits))
    return table, codes


def huff_stream(data):
    table, codes = huffman_codes(data)
    bits = "".join(codes[b] for b in data)
    # Pad to whole bytes, plus the byte that always ends the stream.
    full_bytes = len(bits) // 8 + 1
    bits = bits.ljust(full_bytes * 8, "0")
    body = int(bits, 2).to_bytes(full_bytes, "big") if bits else b""
    header_and_table = 16 + 5 * len(table)
    out = bytearray(b"HUFF")
    out += struct.pack("<III", len(table), len(data), header_and_table + full_bytes)
    for frequency, value in table:
        out += struct.pack("<IB", frequency, value)
    out += body
    return bytes(out)


def archive(entries):
    payload = bytearray()
    for name, data in entries:
        encoded = name.encode()
        payload += b"TVLDFC\0" + struct.pack("<ii", len(encoded), len(data)) + encoded + data
    return b"Tavorlin Data File\0" + bytes([0, 2]) + huff_stream(bytes(payload))


def load(path, kind, entries, seen):
    with open(path, "rb") as f:
        data = f.read()
    if not data:
        sys.exit("reference: %s is empty" % path)
    if kind == "text" and not data.endswith(b"\0"):
        data += b"\0"
    if path not in seen:
        seen.add(path)
        entries.append((path, data))


def main(argv):
    if len(argv) >= 4 and argv[1] == "huff" and len(argv) % 2 == 0:
        for source, target in zip(argv[2::2], argv[3::2]):
            with open(source, "rb") as f:
                data = f.read()
            with open(target, "wb") as f:
                f.write(huff_stream(data))
        return 0
    entries, seen = [], set()
    if len(argv) == 7 and argv[1] == "archive" and argv[2] == "--root" and argv[4] == "--list":
        import os
        with open(argv[5]) as f:
            lines = f.read().splitlines()
        output = os.path.abspath(argv[6])
        os.chdir(argv[3])
        for line in lines:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            kind, path = line.split(None, 1)
            load(path.strip(), kind, entries, seen)
    elif len(argv) >= 4 and argv[1] == "archive-files":
        output = argv[2]
        for path in argv[3:]:
            load(path, "stream", entries, seen)
    else:
        sys.stderr.write(__doc__)
        return 2
    with open(output, "wb") as f:
        f.write(archive(entries))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
