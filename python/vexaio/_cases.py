"""Cases as NumPy arrays. Whole cases travel between the library and one
buffer of rows (vexaWholeCaseIn, vexaWholeCaseOut); columns are views of
that buffer or vectorised copies of it, so no Python code runs per value. A
case holds one 8-byte slot per numeric variable and ceil(width / 8) slots
per string variable, its text padded with blanks."""
import ctypes
import mmap
import os
import weakref

import numpy as np

from ._capi import ENCODING, check, lib

END_OF_DATA = -5
# vexaWholeCasesInEx: system-missing numbers arrive as NaN.
NAN_FOR_SYSMIS = 1
# Rows read by one call.
BLOCK_ROWS = 4096


class Layout:
    """Where each variable lies in a case, and the strings among them."""

    def __init__(self, variables):
        self.offsets, self.sizes = [], []
        offset = 0
        for v in variables:
            size = 8 if v.width == 0 else max(1, -(-v.width // 8)) * 8
            self.offsets.append(offset)
            self.sizes.append(size)
            offset += size
        self.case_size = offset
        self.strings = [(i, self.sizes[i]) for i, v in enumerate(variables) if v.width > 0]

    def runs(self, strings):
        """The slots of the strings [(variable, size)] as runs of
        neighbouring slots: [[first slot, slots], ...]."""
        runs = []
        for i, size in strings:
            first = self.offsets[i] // 8
            if runs and sum(runs[-1]) == first:
                runs[-1][1] += size // 8
            else:
                runs.append([first, size // 8])
        return runs


# The size of a huge page: a large array that starts on such a boundary can
# be backed by huge pages (NumPy asks for them from 4 MiB up).
_HUGE_PAGE = 2 << 20


def _aligned(shape, dtype):
    """An uninitialised array of the shape that, when it is large, starts on
    a 2 MiB boundary, so that the kernel can back it with huge pages: fresh
    memory comes 2 MiB at a fault instead of 4 KiB."""
    size, item = int(np.prod(shape)), np.dtype(dtype).itemsize
    if size * item < _HUGE_PAGE:
        return np.empty(shape, dtype=dtype)
    space = np.empty(size + _HUGE_PAGE // item, dtype=dtype)
    start = -space.ctypes.data % _HUGE_PAGE // item
    return space[start:start + size].reshape(shape)


def _let_go(values):
    values[...] = None


def object_rows(count, n):
    """A (count, n) object array of None, whose large rows lie in huge pages
    of a mapping of their own. NumPy gives a fresh object array small pages,
    and where malloc maps and unmaps every large block (as under Dask's
    nanny), every column would be fresh memory, 4 KiB a fault: dear on some
    machines. Memory that NumPy did not allocate as objects does not let go
    of the values it holds, so they are let go when the last view of the
    rows goes. (The mapping is the rows' base: NumPy passes over arrays but
    not other objects when it gives a view its base, so views keep the rows.)"""
    size = count * n * 8
    if size < _HUGE_PAGE:
        return np.empty((count, n), dtype=object)
    try:
        # Zeros: NULL, which NumPy reads as None.
        space = mmap.mmap(-1, size + _HUGE_PAGE, flags=mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS)
    except OSError as e:
        raise MemoryError(f"no memory for {count} columns of {n} texts") from e
    if hasattr(mmap, "MADV_HUGEPAGE"):
        space.madvise(mmap.MADV_HUGEPAGE)
    start = -np.frombuffer(space, np.uint8, 1).ctypes.data % _HUGE_PAGE
    rows, values = (np.ndarray((count, n), dtype=object, buffer=space, offset=start) for _ in "12")
    weakref.finalize(rows, _let_go, values).atexit = False
    return rows


def new_rows(rows, case_size):
    """An uninitialised (rows, case_size) byte array for cases."""
    return _aligned((rows, case_size), np.uint8)


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


# A sample of about this many rows finds the distinct values of a column.
SAMPLE_ROWS = 2048


def _block_bytes():
    """How large the temporaries of a string column may be: unbounded, but
    where malloc gives back any free memory over a small threshold (as
    Dask's nanny has its workers do), temporaries under half of it, which
    malloc serves from memory it holds instead of fresh pages from the
    kernel: dear on some machines, and asked for again by every array."""
    try:
        threshold = int(os.environ.get("MALLOC_TRIM_THRESHOLD_", ""))
    except ValueError:
        return None
    return max(threshold // 2, 4096)


def _keys(w, keys):
    """Stores into `keys` one 64-bit key per row of a column's words (slots,
    rows), a hash of the words, and returns it."""
    np.copyto(keys, w[0])
    for part in w[1:]:
        np.multiply(keys, np.uint64(0x100000001B3), out=keys)
        np.bitwise_xor(keys, part, out=keys)
    return keys


def few_distinct(w, keys, codes, rows, block_bytes):
    """The distinct words of a column's words (slots, rows), given their
    keys, with the codes of the rows stored into `codes` (intp), when the
    distinct values of the sample `rows` are all the column has and number
    at most 256: every row is checked against its code, in blocks of
    temporaries of at most block_bytes (None: one block). None otherwise."""
    n = w.shape[1]
    probe, where = np.unique(keys[rows], return_index=True)
    if not 0 < len(probe) <= 256:
        return None
    distinct = np.ascontiguousarray(w[:, rows[where]])
    # A byte of the keys in which the values differ finds a row's code in a
    # table, quicker than a search; a value outside the sample fails the
    # check either way.
    probe_bytes = probe.view(np.uint8).reshape(-1, 8)
    byte = next((b for b in range(8) if len(np.unique(probe_bytes[:, b])) == len(probe)), None)
    if byte is not None:
        table = np.zeros(256, dtype=np.intp)
        table[probe_bytes[:, byte]] = np.arange(len(probe))
    # Blocks whose temporaries stay in the cache; with a small block_bytes,
    # blocks whose one temporary (the key bytes as indices, 8 bytes a row)
    # is about twice block_bytes: the blocks are then few enough that the
    # calls cost less than the pages malloc may take afresh for it.
    block = 65536 if block_bytes is None else max(512, min(65536, block_bytes // 4))
    word, same = np.empty(block, np.uint64), np.empty(block, bool)
    for a in range(0, n, block):
        found, m = codes[a:a + block], min(block, n - a)
        if byte is not None:
            np.take(table, keys[a:a + block].view(np.uint8)[byte::8], out=found)
        else:
            found[:] = np.searchsorted(probe, keys[a:a + block])
            np.minimum(found, len(probe) - 1, out=found)
        # Every word of every row against those of its code (the key alone
        # for a column of one word, which is its word).
        for known, row in zip([probe] + list(distinct[1:] if len(w) > 1 else []),
                              [keys] + list(w[1:] if len(w) > 1 else [])):
            np.take(known, found, out=word[:m])
            np.equal(word[:m], row[a:a + block], out=same[:m])
            if not same[:m].all():
                return None
        if len(w) > 1:
            np.take(distinct[0], found, out=word[:m])
            np.equal(word[:m], w[0, a:a + block], out=same[:m])
            if not same[:m].all():
                return None
    return distinct


# Runs of numeric slots beyond which a block's numbers are gathered at once.
SCATTERED_RUNS = 8


class Columns:
    """Cases turned column by column: the numbers of the chosen numeric
    variables as the rows of one (numbers, rows) float64 array, NaN for
    system-missing, and the 8-byte words of the chosen string variables as
    the rows of one (words + 2, rows) array (two spare rows for grouping
    the texts). Cases are added a block at a time, each block's cache lines
    read once while they are in the cache, so the columns come out
    contiguous, and the whole cases need never be in memory at once."""

    def __init__(self, layout, chosen, capacity):
        chosen = set(chosen)
        self.layout, self.n = layout, 0
        self.strings = [s for s in layout.strings if s[0] in chosen]
        texts = {i for i, _ in self.strings}
        self.numeric = [i for i in range(len(layout.offsets)) if i in chosen and i not in texts]
        self.row_of = {i: r for r, i in enumerate(self.numeric)}
        self.number_runs = _with_rows(layout.runs([(i, 8) for i in self.numeric]))
        self.word_runs = _with_rows(layout.runs(self.strings))
        # Numbers strewn over the cases are gathered by one indexing a block.
        self.number_slots = None
        if len(self.number_runs) > SCATTERED_RUNS:
            self.number_slots = np.array([self.layout.offsets[i] // 8 for i in self.numeric], np.intp)
        words = sum(count for _, count, _ in self.word_runs)
        self.numbers = _aligned((len(self.numeric), capacity), np.float64)
        self.words = _aligned((words + 2, capacity), np.uint64) if self.strings else None

    @classmethod
    def of(cls, raw, layout, chosen):
        """The columns of an (n, case_size) byte array of cases."""
        columns = cls(layout, chosen, raw.shape[0])
        # Blocks of at least 1,024 cases, and at most a few thousand copies.
        block = max(1024, raw.shape[0] * (len(columns.number_runs) + len(columns.word_runs)) // 4096)
        for a in range(0, raw.shape[0], block):
            columns.add(raw[a:a + block])
        return columns

    def add(self, raw):
        """Adds the cases of an (m, case_size) byte array after those held."""
        slots, a, m = raw.view("<u8"), self.n, raw.shape[0]
        numbers = self.numbers.view(np.uint64)
        if self.number_slots is not None:
            numbers[:, a:a + m] = np.take(slots, self.number_slots, axis=1).T
        else:
            for first, count, row in self.number_runs:
                numbers[row:row + count, a:a + m] = slots[:, first:first + count].T
        for first, count, row in self.word_runs:
            self.words[row:row + count, a:a + m] = slots[:, first:first + count].T
        self.n += m

    def __len__(self):
        return self.n

    def trim(self):
        """Lets go of the room beyond the cases held (views, not copies)."""
        self.numbers = self.numbers[:, :self.n]
        if self.words is not None:
            self.words = self.words[:, :self.n]
        return self

    @classmethod
    def concatenate(cls, parts):
        out = cls(parts[0].layout, set(parts[0].numeric) | {i for i, _ in parts[0].strings}, 0)
        out.numbers = np.concatenate([p.trim().numbers for p in parts], axis=1)
        if out.words is not None:
            out.words = np.concatenate([p.words for p in parts], axis=1)
        out.n = out.numbers.shape[1] if out.numeric else sum(p.n for p in parts)
        return out


def _with_rows(runs):
    """Runs of slots [first, count] with the row of each run's first slot
    among the runs' rows."""
    out, row = [], 0
    for first, count in runs:
        out.append((first, count, row))
        row += count
    return out


def string_columns(raw, layout, factorize=factorize_numpy, only=None):
    """The string variables' values by variable number (of those in `only`,
    by default all), object arrays of str without trailing blanks; raw is an
    (n, case_size) byte array of cases or their Columns. Each column's 8-byte
    words are grouped into distinct values (by a 64-bit key checked against
    the words), so each distinct value is decoded once."""
    if not isinstance(raw, Columns):
        strings = {i for i, _ in layout.strings} if only is None else only
        raw = Columns.of(raw, layout, strings)
    columns, n = {}, raw.n
    strings = raw.strings if only is None else [s for s in raw.strings if s[0] in only]
    if not strings:
        return columns
    # The keys and codes are shared by the columns and lie beside the words,
    # as fresh memory is dear on some machines; the columns are the rows of
    # one array, for the same reason.
    words, out = raw.words, object_rows(len(strings), n)
    rows = dict(zip((i for i, _ in raw.strings),
                    np.cumsum([0] + [size // 8 for _, size in raw.strings]).tolist()))
    keys, scratch, block_bytes = words[-2], words[-1].view(np.intp), _block_bytes()
    # Rows drawn at random (the same each time): rows at a fixed step can
    # miss values that repeat with a period.
    sample = np.random.default_rng(0).integers(0, n, SAMPLE_ROWS) if n > SAMPLE_ROWS else np.arange(n)
    # Temporaries of objects in blocks that stay in the cache.
    block = 4096 if block_bytes is None else max(512, min(4096, block_bytes // 8))
    for (i, size), column in zip(strings, out):
        w = words[rows[i]:rows[i] + size // 8]
        key = w[0] if len(w) == 1 else _keys(w, keys)
        codes, distinct = scratch, few_distinct(w, key, scratch, sample, block_bytes)
        if distinct is None:
            codes, first = factorize(key)
            if not np.array_equal(w[:, first][:, codes], w):
                codes, first = factorize_numpy(np.ascontiguousarray(w.T).view(f"V{size}").ravel())
            distinct = w[:, first]
        unique = np.ascontiguousarray(distinct.T).view(f"S{size}").ravel()
        texts = np.array([u.decode(ENCODING, "replace").rstrip(" ") for u in unique.tolist()],
                         dtype=object)
        # Indexing is much faster than take() for objects.
        for a in range(0, n, block):
            column[a:a + block] = texts[codes[a:a + block]]
        columns[i] = column
    return columns


def write_columns(h, handles, arrays, n, first):
    """Writes n cases whose values come from the contiguous arrays (float64,
    or S<width> for the string variables) of the variables of `handles` (a
    ctypes double array). `first` numbers the first case, for the error
    message."""
    done = ctypes.c_int()
    pointers = (ctypes.c_void_p * len(arrays))(*[a.ctypes.data for a in arrays])
    code = lib.vexaColumnsOut(h, len(arrays), handles, pointers, n, ctypes.byref(done))
    if code:
        check(code, f"writing case {first + done.value + 1}")


class Texts:
    """A column of texts as codes (-1 for None) into its distinct texts."""

    def __init__(self, codes, unique):
        self.codes, self.unique, self._padded = codes, unique, None

    def __len__(self):
        return len(self.codes)

    def rows(self, start, stop, size, width, name):
        """Rows start to stop as an (n, size) byte array, blank-padded."""
        if self._padded is None or self._padded.itemsize != size:
            self._padded = _padded(self.unique.tolist(), size, width, name)
        return self._padded[self.codes[start:stop]].view(np.uint8).reshape(-1, size)

    def fixed(self, start, stop, width, name):
        """Rows start to stop as an S<width> array, blank-padded."""
        return self.rows(start, stop, width, width, name).view(f"S{width}").reshape(-1)


class Doubles:
    """A numeric column whose doubles are made a range of rows at a time, as
    they are written, so that no column of them is ever made whole: make(
    start, stop) gives rows start to stop as float64. As an array (NumPy's
    functions take it so) it is made whole after all."""

    def __init__(self, n, make):
        self.n, self.make = n, make

    def __len__(self):
        return self.n

    def __getitem__(self, rows):
        start, stop, step = rows.indices(self.n)
        return self.make(start, stop)[::step]

    def __array__(self, dtype=None, copy=None):
        x = self.make(0, self.n)
        return x if dtype is None else x.astype(dtype, copy=False)


def _padded(texts, size, width, name):
    """The texts encoded and blank-padded to `size` bytes, and one blank
    text after them (for code -1); ValueError for one longer than width."""
    encoded = [str(u).encode(ENCODING) for u in texts]
    too_long = [e for e in encoded if len(e) > width]
    if too_long:
        raise ValueError(f"{name}: the value {too_long[0][:40]!r}... is longer than {width} bytes")
    return np.array([e.ljust(size) for e in encoded] + [b" " * size], dtype=f"S{size}")


def _addresses(values):
    """The addresses of the objects of an object array, as integers (a view
    that lives no longer than the array's own references)."""
    words = (ctypes.c_ssize_t * len(values)).from_address(values.ctypes.data)
    return np.ctypeslib.as_array(words)


def factorize_texts(values):
    """Codes of the texts (-1 for None) and the distinct texts. pandas
    groups them by hashing, far quicker than NumPy's sorting. A column of
    few distinct texts holds each as one object many times: such a column
    is grouped by the objects' addresses first, integers that hash far
    quicker than texts, and only its distinct objects by their texts."""
    values = np.ascontiguousarray(values, dtype=object)
    try:
        import pandas
    except ImportError:
        present = values != None  # noqa: E711  (elementwise)
        unique, inverse = np.unique(values[present].astype(str), return_inverse=True)
        codes = np.full(len(values), -1, dtype=np.intp)
        codes[present] = inverse
        return codes, unique
    if len(values) < 2 * SAMPLE_ROWS or len(set(_addresses(values[:SAMPLE_ROWS]).tolist())) > SAMPLE_ROWS // 4:
        return pandas.factorize(values)
    at, first = pandas.factorize(_addresses(values))
    # The objects are those at the first row of each address, in the order
    # they first come, so their codes keep the order of first appearance.
    codes, unique = pandas.factorize(values[first_rows(at, len(first))])
    return codes[at], unique


def encode_strings(values, size, width, name):
    """An (n, size) byte array of the texts, blank-padded; ValueError for a
    text longer than width bytes. None stands for the empty text. Each
    distinct text is encoded once."""
    return Texts(*factorize_texts(values)).rows(0, len(values), size, width, name)
