"""Cases as NumPy arrays. Whole cases travel between the library and one
buffer of rows (vexaWholeCaseIn, vexaWholeCaseOut), chosen variables from
the library straight into arrays of their own (vexaColumnsIn); columns are
views or vectorised copies, so no Python code runs per value. A
case holds one 8-byte slot per numeric variable and ceil(width / 8) slots
per string variable, its text padded with blanks."""
import collections
import concurrent.futures
import contextlib
import contextvars
import ctypes
import functools
import mmap
import os
import threading
import weakref

import numpy as np

from ._capi import ENCODING, TextGroup, check, lib

END_OF_DATA = -5
# vexaWholeCasesInEx: system-missing numbers arrive as NaN.
NAN_FOR_SYSMIS = 1
# Rows read by one call.
BLOCK_ROWS = 4096
# Whether a read may take a second thread of its own (to read ahead, to
# convert numbers). Not where reads already run one on each core, as in
# the workers of a Dask cluster: there it only takes time from the others.
EXTRA_THREADS = contextvars.ContextVar("vexaio_extra_threads", default=True)


class Layout:
    """Where each variable lies in a case, and the strings among them."""

    def __init__(self, variables):
        self.offsets, self.sizes = [], []
        self.widths = [v.width for v in variables]
        offset = 0
        for v in variables:
            size = 8 if v.width == 0 else max(1, -(-v.width // 8)) * 8
            self.offsets.append(offset)
            self.sizes.append(size)
            offset += size
        self.case_size = offset
        self.strings = [(i, self.sizes[i]) for i, v in enumerate(variables) if v.width > 0]


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


# Mappings of the numbers and codes of reads whose frames are gone, kept
# for the next read: its memory is then there already, not fresh pages
# that the kernel zeroes first (malloc's heap serves smaller blocks so).
# The kernel takes their pages back when it needs them (MADV_FREE). At most
# SPARE_COUNT of them (what one read takes: a Dask worker keeps no more
# than it would use for its next partition), of SPARE_BYTES in all (an
# eighth of the memory at most); a read takes one at most twice the size
# it needs.
_spare = []
SPARE_COUNT = 2
SPARE_BYTES = min(1 << 30, os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE") // 8)


def _kept(shape, dtype):
    """An uninitialised array of the shape on a 2 MiB boundary in a mapping
    of its own, a spare one where one fits: (array, whether its memory is
    fresh). The mapping is spare again once the array and every view of it
    are gone (NumPy keeps the array as the base of its views: it passes
    over arrays, not other objects). A small array is malloc's."""
    size = int(np.prod(shape)) * np.dtype(dtype).itemsize + _HUGE_PAGE
    if size < 2 * _HUGE_PAGE:
        return np.empty(shape, dtype=dtype), True
    space = _spare_of(size)
    fresh = space is None
    space = _mapped(size, f"an array of {size} bytes") if fresh else space
    rows = np.ndarray(shape, dtype=dtype, buffer=space, offset=_huge_start(space))
    weakref.finalize(rows, _give_back, space).atexit = False
    return rows, fresh


def _mapped(size, what):
    """A private mapping of size bytes of zeros of its own, in huge pages
    where the kernel has them; MemoryError names `what` it was for."""
    try:
        space = mmap.mmap(-1, size, flags=mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS)
    except OSError as e:
        raise MemoryError(f"no memory for {what}") from e
    _advise(space, "MADV_HUGEPAGE")
    return space


def _huge_start(space):
    """The offset of the first 2 MiB boundary in a mapping."""
    return -np.frombuffer(space, np.uint8, 1).ctypes.data % _HUGE_PAGE


def _spare_of(size):
    """A spare mapping of size to twice size bytes, taken from the spares,
    or None. Each pop and extend is atomic: no lock, none to be held
    across a fork."""
    passed, found = [], None
    while found is None:
        try:
            space = _spare.pop()
        except IndexError:
            break
        if size <= len(space) <= 2 * size:
            found = space
        else:
            passed.append(space)
    _spare.extend(passed)
    return found


def _advise(space, advice):
    """Whether the kernel took the advice (by its name in mmap) for the mapping."""
    try:
        space.madvise(getattr(mmap, advice))
        return True
    except (AttributeError, OSError):
        return False


def _give_back(space):
    """Keeps a mapping no longer used as a spare, if the kernel can take its
    pages back meanwhile."""
    if len(space) > SPARE_BYTES or not _advise(space, "MADV_FREE"):
        return
    _spare.append(space)
    while len(_spare) > SPARE_COUNT or sum(map(len, _spare)) > SPARE_BYTES:
        try:
            _spare.pop(0)  # the oldest
        except IndexError:
            break


if hasattr(os, "register_at_fork"):  # a child's spares would be copied on write
    os.register_at_fork(after_in_child=_spare.clear)


def populate(rows, a, b):
    """Has the kernel back items a to b of each row of a 2-D array (rows
    contiguous) with memory at once, where it can: the zeroing of fresh
    pages falls on this thread, not on the one that writes them next."""
    for row in rows:
        b = min(b, len(row))
        if b <= a:
            return
        start, end = row.ctypes.data + a * row.itemsize, row.ctypes.data + b * row.itemsize
        start -= start % mmap.PAGESIZE
        _libc().madvise(ctypes.c_void_p(start), ctypes.c_size_t(end - start), _MADV_POPULATE_WRITE)


_MADV_POPULATE_WRITE = 23
# Rows ahead of the reader that populate() is asked for (4 MiB of numbers).
AHEAD_ROWS = 1 << 19


@functools.cache
def _libc():
    return ctypes.CDLL(None)


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
    # Zeros: NULL, which NumPy reads as None.
    space = _mapped(size + _HUGE_PAGE, f"{count} columns of {n} texts")
    start = _huge_start(space)
    rows, values = (np.ndarray((count, n), dtype=object, buffer=space, offset=start) for _ in "12")
    weakref.finalize(rows, _let_go, values).atexit = False
    return rows


def new_rows(rows, case_size):
    """An uninitialised (rows, case_size) byte array for cases."""
    return _aligned((rows, case_size), np.uint8)


def _columns_in(h, handles, at, want, groups=None, started=None, after=None):
    """One call of vexaGroupedColumnsIn for the variables of `handles` into
    the addresses `at`, the strings with a group of texts grouped: (result
    code, cases read). The event `started`, when given, is set as the call
    begins. `after`: the groups of the call before, made before it ended:
    the call goes on from the texts it held, and a column that fell back
    in it falls back at once (a group without room)."""
    got, pointers = ctypes.c_int(), (ctypes.c_void_p * len(at))(*at)
    for g, last in zip(groups or (), after or ()):
        if g.texts:
            g.count, g.maxTexts = (last.count, g.maxTexts) if last.count >= 0 else (0, 0)
    if started is not None:
        started.set()
    code = lib.vexaGroupedColumnsIn(h, len(at), handles, pointers, groups, want, NAN_FOR_SYSMIS,
                                    ctypes.byref(got))
    return code, got.value


def _done(fn, *args):
    """A finished future of fn(*args), run here."""
    future = concurrent.futures.Future()
    future.set_result(fn(*args))
    return future


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


def _hash(b):
    """One 64-bit key per row of an (n, w) byte array of texts wider than 8
    bytes: a hash of its 8-byte words (the last one ending at the row's end)."""
    w = b.shape[1]
    starts = list(range(0, w - 7, 8)) + ([w - 8] if w % 8 else [])
    keys = np.array(b[:, :8].view(np.uint64)[:, 0])
    for at in starts[1:]:
        np.multiply(keys, np.uint64(0x100000001B3), out=keys)
        np.bitwise_xor(keys, b[:, at:at + 8].view(np.uint64)[:, 0], out=keys)
    return keys


def _verify(b, codes, distinct, block_bytes):
    """Whether every row of the (n, w) byte array b equals the row of
    `distinct` that its code names: compared with copies of their codes'
    texts, in blocks whose temporaries stay in the cache (or take about
    block_bytes at most). Where most rows of a block have one code, its
    text fills the copies once, and only the other rows are copied (their
    rows found only then, the counts of the codes telling how many)."""
    n, w = b.shape
    block = max(64, min(65536, (block_bytes or 1 << 19) // max(w, 1)))
    flat = (lambda x: x.reshape(-1).view(np.uint64)) if w % 8 == 0 else (lambda x: x.reshape(-1))
    texts = np.ascontiguousarray(distinct).view(f"S{w}").reshape(-1)
    rows = min(block, n)
    copies, same = np.empty(rows, f"S{w}"), np.empty(rows * w, bool)
    filled = None
    for a in range(0, n, block):
        x, c = flat(b[a:a + block]), codes[a:a + block]
        common, rare = 0, 0
        if len(texts) > 1:
            counts = np.bincount(c, minlength=len(texts))
            common = counts.argmax()
            rare = len(c) - counts[common]
        if rare * 4 < len(c):
            others = np.flatnonzero(c != common)
            if filled != common:
                copies[:], filled = texts[common], common
            copies[others] = texts[c[others]]
            y = copies[:len(c)]
        else:
            y, filled = np.take(texts, c, out=copies[:len(c)]), None
        equal = np.equal(x, flat(y.view(np.uint8)), out=same[:x.size]).all()
        if filled is not None:
            copies[others] = texts[common]
        if not equal:
            return False
    return True


def few_distinct(b, codes, rows, block_bytes):
    """The distinct rows of the (n, w) byte array of texts b, with the
    codes of the rows stored into `codes` (intp), when the distinct values
    of the sample `rows` are all there are, number at most 256 and differ
    in some one byte: a table of that byte gives each row's code, and
    every row is checked against its code's. None otherwise."""
    w = b.shape[1]
    sample = np.ascontiguousarray(b[rows])
    _, where = np.unique(sample.view(f"V{w}").ravel(), return_index=True)
    if not 0 < len(where) <= 256:
        return None
    distinct = sample[where]
    ordered = np.sort(distinct, axis=0)
    apart = np.flatnonzero((ordered[1:] != ordered[:-1]).all(axis=0)) if len(distinct) > 1 else [0]
    if not len(apart):
        return None
    table = np.zeros(256, dtype=np.intp)
    table[distinct[:, apart[0]]] = np.arange(len(distinct))
    np.take(table, b[:, apart[0]], out=codes)
    return distinct if _verify(b, codes, distinct, block_bytes) else None


def _grouped(values, factorize, sample, block_bytes):
    """Codes of a column of texts (dtype S<w>) and its distinct texts, or
    (None, None) when nearly all texts of the sample differ."""
    n, w = len(values), values.dtype.itemsize
    b = values.view(np.uint8).reshape(n, w)
    codes = np.empty(n, np.intp)
    distinct = few_distinct(b, codes, sample, block_bytes)
    if distinct is None:
        if n > len(sample) and len(np.unique(values[sample])) > 0.9 * len(sample):
            return None, None
        if w <= 8:  # the text itself, blank-padded to 8 bytes, is the key
            keys = np.full(n, 0x2020202020202020, np.uint64)
            keys.view(np.uint8).reshape(n, 8)[:, :w] = b
        else:
            keys = _hash(b)
        codes, first = factorize(keys)
        distinct = b[first]
        if not _verify(b, codes, distinct, block_bytes):
            codes, first = factorize_numpy(values.view(f"V{w}"))
            distinct = b[first]
    return codes, np.ascontiguousarray(distinct).view(f"S{w}").reshape(-1)


# Room for the distinct texts of a grouped column: at most this many, in
# at most this many bytes.
GROUP_TEXTS = 4096
GROUP_TEXT_BYTES = 1 << 20


class Grouped:
    """A column of texts of width w as int32 codes into its distinct texts
    (the rows of a (k, w) byte array), which the library makes as it reads
    (vexaGroupedColumnsIn), so that a wide column of few values never takes
    the memory of all its texts nor a comparison here. A column of more
    distinct texts than its room falls back to plain texts. With an object
    array, the column's str objects are made in it as the codes come (make()),
    while the library reads on."""

    def __init__(self, w, capacity, codes=None, objects=None):
        """`codes`: room for the capacity's codes, by default an array of its
        own; `objects`: room for the capacity's objects, or None."""
        self.w = w
        self.codes = np.empty(capacity, np.int32) if codes is None else codes
        self.room = np.empty((max(1, min(GROUP_TEXTS, GROUP_TEXT_BYTES // max(w, 1))), w), np.uint8)
        self.count = 0
        self.objects, self.made, self.decoded = objects, 0, np.empty(0, dtype=object)

    def make(self, stop):
        """Makes the objects of the rows up to stop; each distinct text is
        decoded once."""
        if len(self.decoded) < self.count:
            new = self.distinct[len(self.decoded):].view(f"S{self.w}").reshape(-1)
            self.decoded = np.concatenate([self.decoded, _decoded(new)])
        if stop > self.made:
            put_objects(self.decoded, self.codes[self.made:stop], self.objects[self.made:stop])
        self.made = max(self.made, stop)

    @property
    def distinct(self):
        return self.room[:self.count]

    def group(self, plain):
        """The group of a call of the library that goes on from the texts
        held, plain (an (m, w) byte array) receiving its texts should the
        column fall back."""
        return TextGroup(self.room.ctypes.data, len(self.room), self.count, plain.ctypes.data)

    def texts(self, n):
        """The first n texts, as an array of dtype S<w>."""
        return np.ascontiguousarray(self.distinct[self.codes[:n]]).view(f"S{self.w}").reshape(-1)


# Cases read by one call of the library; a read of at least GROUP_ROWS
# cases has the library group its texts, in calls of at most BLOCK_BYTES of
# texts (room for them should a column fall back).
CALL_ROWS = 1 << 16
GROUP_ROWS = 1 << 16
BLOCK_BYTES = 16 << 20


class Columns:
    """Cases turned column by column: the numbers of the chosen numeric
    variables as the rows of one (numbers, rows) float64 array, NaN for
    system-missing, and the texts of each chosen string variable as an
    array of dtype S<width>, blank-padded as stored, or Grouped. The
    library delivers the columns so (read()), decoding a block of cases at
    a time into a buffer that stays in its cache: the whole cases are never
    in memory, and the values of the variables not chosen are never copied."""

    def __init__(self, layout, chosen, capacity):
        chosen = set(chosen)
        self.layout, self.n, self.unmade = layout, 0, False
        # What converts a row of numbers as its cases are read, by variable.
        self.converters = {}
        self.strings = [s for s in layout.strings if s[0] in chosen]
        texts = {i for i, _ in self.strings}
        self.numeric = [i for i in range(len(layout.offsets)) if i in chosen and i not in texts]
        self.row_of = {i: r for r, i in enumerate(self.numeric)}
        if capacity >= GROUP_ROWS:
            # The numbers, and the codes of all columns as the rows of one
            # array, in huge pages, of reads before where their frames are
            # gone: as separate arrays each would be fresh memory where
            # malloc maps and unmaps every large block (as under Dask's
            # nanny), 4 KiB a fault.
            made = [_kept((len(self.numeric), capacity), np.float64),
                    _kept((len(self.strings), capacity), np.int32)]
            (self.numbers, _), (self.codes, _) = made
            # Those in fresh memory: a reader has the kernel make it ahead
            # of the cases (see populate).
            self.fresh = [rows for rows, fresh in made if fresh]
            self.texts = {i: Grouped(layout.widths[i], capacity, row)
                          for (i, _), row in zip(self.strings, self.codes)}
        else:
            self.numbers = _aligned((len(self.numeric), capacity), np.float64)
            self.codes = np.empty((0, 0), np.int32)
            self.fresh = [self.numbers]
            self.texts = {i: _texts(capacity, layout.widths[i]) for i, _ in self.strings}

    def read(self, h, limit, first):
        """Reads up to `limit` next cases of the open file h after the cases
        held, system-missing as NaN; returns how many arrived (fewer only at
        the end of the data). `first` numbers the first, for the error
        message. The library fills the arrays of numbers and of texts
        directly, and groups the texts of a Grouped column into its codes
        (a column that falls back has its block's texts in a buffer of its
        own): a thread has the library read the next two blocks, one call
        after the other, into sets of buffers of their own (letting go of
        the interpreter) while this one makes the str objects of the last
        and has its numbers converted (see convert_as_read). The calls on
        the handle stay one at a time, and none is left running on return."""
        order = self.numeric + [i for i, _ in self.strings]
        handles = (ctypes.c_double * len(order))(*(i + 1.0 for i in order))
        widths = self.layout.widths
        grouped = [i for i in order if isinstance(self.texts.get(i), Grouped)]
        block = max(512, min(CALL_ROWS, BLOCK_BYTES // max(1, sum(widths[i] for i in grouped))))
        step = block if grouped else CALL_ROWS
        into = [{i: np.empty((min(block, limit), widths[i]), np.uint8) for i in grouped}
                for _ in range(3 if grouped else 0)]
        start = self.n

        def issue(n, slot, after):
            """Starts reading the cases from row n on, after the call whose
            groups are `after` (None: the last one ended): (groups by
            variable, rows asked for, a future of (code, rows read))."""
            rest, short = start + limit - n, step // 8
            want = min(rest, step)
            if reader:
                # Short first and last calls: the threads wait on each other
                # less as the read begins and ends.
                want = min(rest, short) if n == start else \
                    rest - short if short < rest <= step + short else want
            groups = (TextGroup * len(order))()
            at = [row.ctypes.data + n * 8 for row in self.numbers]
            for k, i in enumerate(order[len(self.numeric):], len(self.numeric)):
                held = self.texts[i]
                if isinstance(held, Grouped):
                    groups[k] = held.group(into[slot][i])
                    at.append(held.codes.ctypes.data + n * 4)
                else:
                    at.append(held.ctypes.data + n * widths[i])
            buffers = into[slot] if grouped else {}
            if not reader:
                return (groups, buffers), want, _done(_columns_in, h, handles, at, want, groups)
            # The reader begins the call before this thread goes on: else it
            # waits for the interpreter until this one next waits itself.
            started = threading.Event()
            future = reader.submit(_columns_in, h, handles, at, want, groups, started, after)
            if after is None:
                started.wait()
            return (groups, buffers), want, future

        def fill(n, want):
            """The memory of a block further on than the call of rows n on
            comes from the kernel here, while the reader decodes (fresh
            pages are zeroed first): a huge page on, not to fault the pages
            the reader writes."""
            if reader:
                ahead = n + AHEAD_ROWS
                for rows in self.fresh:
                    populate(rows, max(ahead, n + want) if n > start else n + want, ahead + step)

        with concurrent.futures.ThreadPoolExecutor(1, "vexaio-read") \
                if grouped and EXTRA_THREADS.get() else contextlib.nullcontext() as reader:
            # Two calls under way with a reader: it goes on with the next
            # while this thread takes the last.
            pending, planned, slot, ended = collections.deque(), self.n, 0, False

            def plan():
                """Issues the next call, if any: (its first row, rows asked for)."""
                nonlocal planned, slot
                if planned >= start + limit:
                    return None
                pending.append(issue(planned, slot, pending[-1][0][0] if pending else None))
                planned += pending[-1][1]
                slot = (slot + 1) % len(into) if into else 0
                return planned - pending[-1][1], pending[-1][1]

            # Both first calls are under way before any memory is asked for.
            for call in [plan() for _ in range(2 if reader else 1)]:
                if call:
                    fill(*call)
            while pending:
                (groups, buffers), want, future = pending.popleft()
                code, got = future.result()
                if ended:  # a call after the end, or after a damaged case
                    continue
                # The next call goes on from the texts this one held.
                self._grouped(order, groups, buffers, got)
                self.n += got
                ended = bool(code) or got < want
                call = None if ended else plan()
                if call:
                    fill(*call)
                self._make(grouped)
                self._convert(self.n - got, self.n)
                if code and code != END_OF_DATA:
                    check(code, f"reading case {first + self.n - start + 1}")
        return self.n - start

    def _make(self, grouped):
        """Makes the objects of the rows read of the columns still grouped,
        in rows of one array (fresh memory is dear on some machines) made
        once the first cases have come: a read past the end makes none.
        Without memory for the capacity's objects (a damaged case count,
        say), they are made from the codes of the cases read at the end:
        the cases read so far are never lost to the error."""
        columns = [self.texts[i] for i in grouped if isinstance(self.texts[i], Grouped)]
        if not self.n or not columns or self.unmade:
            return
        if columns[0].objects is None:
            try:
                rows = object_rows(len(columns), len(columns[0].codes))
            except MemoryError:
                self.unmade = True
                return
            for held, row in zip(columns, rows):
                held.objects = row
        for held in columns:
            held.make(self.n)

    def convert_as_read(self, make):
        """Has the numbers of each variable that make(number, row) gives a
        converter for converted as they are read (into its row)."""
        for i, row in zip(self.numeric, self.numbers):
            c = make(i, row)
            if c is not None:
                self.converters[i] = c

    def _convert(self, a, b):
        for i, c in list(self.converters.items()):
            if not c.convert(a, b):
                del self.converters[i]

    def converted(self):
        """The columns converted as they were read, by variable number."""
        return {i: c.result(self.n) for i, c in self.converters.items()}

    def _grouped(self, order, groups, buffers, got):
        """Takes the counts of texts of the groups of a call that read rows
        self.n on. A column that fell back keeps all its texts from then on,
        those of a call that grouped it in its buffer."""
        for k, i in enumerate(order):
            held = self.texts.get(i)
            if not groups[k].texts:
                continue
            if not isinstance(held, Grouped):  # fell back in a call before
                held[self.n:self.n + got].view(np.uint8).reshape(-1, self.layout.widths[i])[:] = \
                    buffers[i][:got]
                continue
            if groups[k].count >= 0:
                held.count = groups[k].count
                continue
            self.texts[i] = _texts(len(held.codes), held.w)
            self.texts[i][:self.n] = held.texts(self.n)
            self.texts[i][self.n:self.n + got].view(np.uint8).reshape(-1, held.w)[:] = buffers[i][:got]

    @classmethod
    def of(cls, raw, layout, chosen):
        """The columns of an (n, case_size) byte array of cases."""
        columns = cls(layout, chosen, 0)
        columns.numbers = _aligned((len(columns.numeric), raw.shape[0]), np.float64)
        columns.texts = {i: _texts(raw.shape[0], layout.widths[i]) for i in columns.texts}
        slots = raw.view("<f8")
        for i, row in columns.row_of.items():
            columns.numbers[row] = slots[:, layout.offsets[i] // 8]
        for i, texts in columns.texts.items():
            off, w = layout.offsets[i], layout.widths[i]
            texts.view(np.uint8).reshape(-1, w)[:] = raw[:, off:off + w]
        columns.n = raw.shape[0]
        return columns

    def __len__(self):
        return self.n

    def trim(self):
        """Lets go of the room beyond the cases held (views, not copies)."""
        self.numbers = self.numbers[:, :self.n]
        for i, t in self.texts.items():
            if isinstance(t, Grouped):
                t.codes = t.codes[:self.n]
            else:
                self.texts[i] = t[:self.n]
        return self

    @classmethod
    def concatenate(cls, parts):
        out = cls(parts[0].layout, set(parts[0].numeric) | {i for i, _ in parts[0].strings}, 0)
        for p in parts:  # the numbers as they were read
            for c in p.converters.values():
                c.revert()
            p.converters = {}
        out.numbers = np.concatenate([p.trim().numbers for p in parts], axis=1)
        out.texts = {i: np.concatenate([p.texts[i].texts(p.n) if isinstance(p.texts[i], Grouped)
                                        else p.texts[i] for p in parts]) for i in out.texts}
        out.n = sum(p.n for p in parts)
        return out


def _decoded(texts):
    """The str objects of blank-padded texts (an array of dtype S<w>), the
    trailing blanks gone, as a one-dimensional object array."""
    return np.array([u.decode(ENCODING, "replace").rstrip(" ") for u in texts.tolist()] + [""],
                    dtype=object)[:-1]


def put_objects(objects, codes, out, block=4096):
    """out[k] = objects[codes[k]] for an object array out, in blocks of
    codes whose temporaries stay in the cache: by pandas' compiled take
    where it has one (a third of the time), else by NumPy's indexing (much
    faster for objects than its take())."""
    take = _object_take()
    if take is not None:
        block = 1 << 14  # intp codes, 128 KiB
    for a in range(0, len(codes), block):
        part = codes[a:a + block]
        if take is None:
            out[a:a + block] = objects[part]
        else:
            take(objects, part.astype(np.intp), out[a:a + block], None)


@functools.cache
def _object_take():
    """pandas' take of an object array into another, if pandas is there
    and has it: it holds nulls (as in memory of object_rows) as None."""
    try:
        from pandas._libs.algos import take_1d_object_object
    except ImportError:
        return None
    return take_1d_object_object


def _texts(n, w):
    """An uninitialised array of n texts of width w (dtype S<w>)."""
    return _aligned((n, w), np.uint8).view(f"S{w}").reshape(-1)


def string_columns(raw, layout, factorize=factorize_numpy, only=None):
    """The string variables' values by variable number (of those in `only`,
    by default all), object arrays of str without trailing blanks; raw is an
    (n, case_size) byte array of cases or their Columns. A column's texts
    are grouped into distinct values first (compared byte for byte), so
    each distinct value is decoded once; a column of texts nearly all
    different is decoded text by text."""
    if not isinstance(raw, Columns):
        strings = {i for i, _ in layout.strings} if only is None else only
        raw = Columns.of(raw, layout, strings)
    columns, n = {}, raw.n
    strings = [i for i, _ in raw.strings if only is None or i in only]
    for i in strings:
        values = raw.texts[i]
        if isinstance(values, Grouped) and values.objects is not None:
            values.make(n)
            columns[i] = values.objects[:n]
    strings = [i for i in strings if i not in columns]
    if not strings:
        return columns
    # The columns are the rows of one array, as fresh memory is dear on
    # some machines.
    out, block_bytes = object_rows(len(strings), n), _block_bytes()
    # Rows drawn at random (the same each time): rows at a fixed step can
    # miss values that repeat with a period.
    sample = np.random.default_rng(0).integers(0, n, SAMPLE_ROWS) if n > SAMPLE_ROWS else np.arange(n)
    # Temporaries of objects in blocks that stay in the cache.
    block = 4096 if block_bytes is None else max(512, min(4096, block_bytes // 8))
    for i, column in zip(strings, out):
        values = raw.texts[i]
        if isinstance(values, Grouped):
            codes, unique = values.codes[:n], values.distinct.view(f"S{values.w}").reshape(-1)
        else:
            codes, unique = _grouped(values[:n], factorize, sample, block_bytes)
        if codes is None:
            column[:] = [u.decode(ENCODING, "replace").rstrip(" ") for u in values.tolist()]
        else:
            put_objects(_decoded(unique), codes, column, block)
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

    def rows(self, start, stop, size, width, name, slot=None):
        """Rows start to stop as an (n, size) byte array, blank-padded. With
        a slot (a key of the caller's), where most rows hold one text, they
        are made in a buffer of the slot's that holds that text already:
        only the other rows are copied in, and put back as the slot is used
        again, which is when its rows go."""
        if self._padded is None or self._padded.itemsize != size:
            self._padded = _padded(self.unique.tolist(), size, width, name)
            self._slots, self._common = {}, _most_common(self.codes)
        codes = self.codes[start:stop]
        if slot is not None and self._common is not None:
            others = np.flatnonzero(codes != self._common)
            if len(others) * 4 < len(codes):
                out = self._slot(slot, len(codes), others)
                out[others] = self._padded[codes[others]]
                return out.view(np.uint8).reshape(-1, size)
        return self._padded[codes].view(np.uint8).reshape(-1, size)

    def _slot(self, slot, n, others):
        """The first n rows of the slot's buffer, all the common text, whose
        rows `others` are then the ones to put back."""
        common = self._padded[self._common]
        buffer, last = self._slots.get(slot, (None, None))
        if buffer is None or len(buffer) < n:
            buffer = np.full(n, common, dtype=self._padded.dtype)
        else:
            buffer[last] = common
        self._slots[slot] = (buffer, others)
        return buffer[:n]

    def fixed(self, start, stop, width, name, slot=None):
        """Rows start to stop as an S<width> array, blank-padded."""
        return self.rows(start, stop, width, width, name, slot).view(f"S{width}").reshape(-1)


def _most_common(codes):
    """The code of most rows of a sample, when it is that of at least three
    quarters of them; else None."""
    sample = codes[::64] + 1
    if not len(sample):
        return None
    counts = np.bincount(sample)
    return int(counts.argmax()) - 1 if counts.max() * 4 >= len(sample) * 3 else None


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
    if len(values) < 2 * SAMPLE_ROWS:
        return pandas.factorize(values)
    addresses = _addresses(values)
    head, seen = pandas.factorize(addresses[:SAMPLE_ROWS])
    if len(seen) > SAMPLE_ROWS // 4:
        return pandas.factorize(values)
    counts = np.bincount(head)
    if counts.max() * 4 >= SAMPLE_ROWS * 3:
        # One object in most rows (a blank, say): the other rows and its
        # first are grouped, and the codes of the rest are its code.
        common = seen[counts.argmax()]
        rest = np.flatnonzero(addresses != common)
        if len(rest) * 4 < len(values):
            first = int(np.argmax(addresses[:SAMPLE_ROWS] == common))
            at = np.searchsorted(rest, first)
            rows = np.insert(rest, at, first)
            of_rows, unique = factorize_texts(values[rows])
            codes = np.full(len(values), of_rows[at], dtype=of_rows.dtype)
            codes[rows] = of_rows
            return codes, unique
    at, objects = pandas.factorize(addresses)
    # The distinct objects, in the order they first come, so that their
    # codes keep the order of first appearance: taken at their addresses
    # (the values hold them) when they are few, else at their first rows.
    if len(objects) <= SAMPLE_ROWS:
        objects = np.array([ctypes.cast(a, ctypes.py_object).value for a in objects.tolist()] + [None],
                           dtype=object)[:-1]
    else:
        objects = values[first_rows(at, len(objects))]
    codes, unique = pandas.factorize(objects)
    # Where each object holds a text of its own, its code is the text's.
    return (at if np.array_equal(codes, np.arange(len(codes))) else codes[at]), unique
