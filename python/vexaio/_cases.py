"""Cases as NumPy arrays. Whole cases travel between the library and one
buffer of rows (vexaWholeCaseIn, vexaWholeCaseOut); columns are views of
that buffer or vectorised copies of it, so no Python code runs per value. A
case holds one 8-byte slot per numeric variable and ceil(width / 8) slots
per string variable, its text padded with blanks."""
import ctypes

import numpy as np

from ._capi import ENCODING, check, lib

END_OF_DATA = -5
# vexaWholeCasesInEx: system-missing numbers arrive as NaN.
NAN_FOR_SYSMIS = 1
# Rows read by one call.
BLOCK_ROWS = 4096


class Layout:
    """Where each variable lies in a case, and the slots of the strings."""

    def __init__(self, variables):
        self.offsets, self.sizes, string_slots = [], [], []
        offset = 0
        for v in variables:
            size = 8 if v.width == 0 else max(1, -(-v.width // 8)) * 8
            if v.width > 0:
                string_slots.extend(range(offset // 8, (offset + size) // 8))
            self.offsets.append(offset)
            self.sizes.append(size)
            offset += size
        self.case_size = offset
        self.string_slots = np.array(string_slots, dtype=np.intp)
        self.strings = [(i, self.sizes[i]) for i, v in enumerate(variables) if v.width > 0]


def new_rows(rows, case_size):
    """An uninitialised (rows, case_size) byte array that starts on a 2 MiB
    boundary, so that the kernel can back it with huge pages."""
    align = 2 << 20
    space = np.empty(rows * case_size + align, dtype=np.uint8)
    start = -space.ctypes.data % align
    return space[start:start + rows * case_size].reshape(rows, case_size)


def read_rows(h, raw, first):
    """Fills the (n, case_size) byte array with the next cases, system-missing
    as NaN; returns how many it read (fewer than n at the end of the data).
    `first` numbers the first case, for the error message."""
    rows, got, done = raw.shape[0], ctypes.c_int(), 0
    while done < rows:
        want = min(rows - done, BLOCK_ROWS)
        code = lib.vexaWholeCasesInEx(h, raw[done:].ctypes.data, want, NAN_FOR_SYSMIS, ctypes.byref(got))
        if code and code != END_OF_DATA:
            check(code, f"reading case {first + done + got.value + 1}")
        done += got.value
        if got.value < want:
            return done
    return done


def first_rows(codes, count):
    """The first row of each of count codes."""
    first = np.empty(count, dtype=np.intp)
    first[codes[::-1]] = np.arange(len(codes) - 1, -1, -1)
    return first


def factorize_numpy(keys):
    """Codes of the keys and the first row of each code."""
    unique, first, codes = np.unique(keys, return_index=True, return_inverse=True)
    return codes, first


def factorize_few(keys, factorize):
    """factorize(keys) and the distinct keys in code order, first trying the
    distinct keys of a sample of rows: a column of a few distinct codes, the
    common case in surveys, is then looked up by binary search instead of
    hashed or sorted whole. `first` (the first row of each code) is None
    from the binary search: the distinct keys are known without it."""
    probe = np.unique(keys[::max(1, len(keys) // 2048)])
    if 0 < len(probe) <= 256:
        codes = np.searchsorted(probe, keys)
        np.minimum(codes, len(probe) - 1, out=codes)
        if np.array_equal(probe[codes], keys):
            return codes, None, probe
    codes, first = factorize(keys)
    return codes, first, keys[first]


def string_columns(raw, layout, factorize=factorize_numpy):
    """The string variables' values by variable number, object arrays of str
    without trailing blanks. Each column's 8-byte words are grouped by a
    64-bit key (the word itself for strings of up to 8 bytes, else a hash
    checked against the words), so each distinct value is decoded once."""
    words = np.ascontiguousarray(raw.view("<u8")[:, layout.string_slots].T)
    columns, row = {}, 0
    for i, size in layout.strings:
        w, row = words[row:row + size // 8], row + size // 8
        keys = w[0]
        for part in w[1:]:
            keys = keys * np.uint64(0x100000001B3) ^ part
        codes, first, distinct = factorize_few(keys, factorize)
        if len(w) == 1:
            unique = distinct.view("S8")
        else:
            if first is None:
                first = first_rows(codes, len(distinct))
            if not np.array_equal(w[:, first][:, codes], w):
                codes, first = factorize_numpy(np.ascontiguousarray(w.T).view(f"V{size}").ravel())
            unique = np.ascontiguousarray(w[:, first].T).view(f"S{size}").ravel()
        columns[i] = np.array([u.decode(ENCODING, "replace").rstrip(" ") for u in unique.tolist()],
                              dtype=object)[codes]
    return columns


def write_rows(h, raw, first):
    write, addr, size = lib.vexaWholeCaseOut, raw.ctypes.data, raw.shape[1]
    for i in range(raw.shape[0]):
        code = write(h, addr)
        if code:
            check(code, f"writing case {first + i + 1}")
        addr += size


def encode_strings(values, size, width, name):
    """An (n, size) byte array of the texts, blank-padded; ValueError for a
    text longer than width bytes. None stands for the empty text."""
    values = np.array(values, dtype=object)
    values[np.equal(values, None)] = ""
    unique, inverse = np.unique(values.astype(str), return_inverse=True)
    encoded = [u.encode(ENCODING) for u in unique.tolist()]
    too_long = [e for e in encoded if len(e) > width]
    if too_long:
        raise ValueError(f"{name}: the value {too_long[0][:40]!r}... is longer than {width} bytes")
    padded = np.array([e.ljust(size) for e in encoded] or [b" " * size], dtype=f"S{size}")
    return padded[inverse].view(np.uint8).reshape(len(inverse), size)
