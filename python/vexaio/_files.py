"""Reading and writing files with NumPy columns: the dictionary, all cases or
chunks of them, and a new file from columns and a dictionary."""
import collections
import concurrent.futures
import contextlib
import ctypes
import os
from typing import Iterator, NamedTuple, Optional, Union

import numpy as np

from . import _cases
from ._capi import SYSMIS, check, lib, open_error, path_bytes
from ._dictionary import Dictionary, complete as _complete, define_dictionary, \
    read_dictionary as _read_dictionary

CHUNK_ROWS = 65536
# The size of a block of cases whose columns write() makes while the last is
# written.
WRITE_BLOCK_BYTES = 4 << 20
PathLike = Union[str, bytes, os.PathLike]
Password = Optional[Union[str, bytes]]


class Data(NamedTuple):
    """What read() gives: the dictionary and the columns by name."""
    dictionary: Dictionary
    columns: dict


def _password_bytes(password):
    """A password as the library takes it: UTF-8 bytes."""
    return password.encode("utf-8") if isinstance(password, str) else bytes(password)


class _Reader:
    """An open read handle with its dictionary and case layout."""

    def __init__(self, path, password=None, whole=True):
        """whole: False reads sketches of the variables, for complete()."""
        h = ctypes.c_int(-1)
        if password is None:
            code = lib.vexaOpenReadU8(path_bytes(path), ctypes.byref(h))
        else:
            code = lib.vexaOpenReadU8Ex(path_bytes(path), _password_bytes(password), ctypes.byref(h))
        if code > 0:
            raise open_error(code, path_bytes(path), f"opening {os.fsdecode(path)!r}",
                             password=None if password is None else _password_bytes(password))
        self.handle, self.read = h.value, 0
        try:
            self.dictionary = _read_dictionary(self.handle, whole)
            self.layout = _cases.Layout(self.dictionary.variables)
            size = ctypes.c_int()
            check(lib.vexaGetCaseSize(self.handle, ctypes.byref(size)), "reading the case size")
            if size.value != self.layout.case_size:
                raise RuntimeError(f"case size {size.value}, expected {self.layout.case_size}")
        except BaseException:
            self.close()
            raise

    def rows(self, limit):
        """The next cases, at most `limit`, as an (n, case_size) byte array
        whose numeric slots hold NaN for system-missing."""
        raw = _cases.new_rows(limit, self.layout.case_size)
        n = _cases.read_rows(self.handle, raw, self.read)
        self.read += n
        return raw[:n]

    def columns(self, limit, chosen, convert=None):
        """The next cases, at most `limit`, as the Columns of the variables
        numbered in `chosen`, which the library delivers column by column;
        with `convert`, numbers converted as they come (Columns.convert_as_read)."""
        out = _cases.Columns(self.layout, chosen, limit)
        if convert is not None:
            out.convert_as_read(convert)
        out.read(self.handle, limit, self.read)
        self.read += out.n
        return out.trim()

    def seek(self, case, position=None):
        """Makes case number `case` (from 0) the next one read; straight there
        when `position` is where it begins, as position() gave it."""
        if position is None:
            check(lib.vexaSeekNextCase(self.handle, case), f"seeking case {case + 1}")
        else:
            check(lib.vexaSeekCasePosition(self.handle, case, position), f"seeking case {case + 1}")
        self.read = case

    def position(self):
        """Where the next case read begins in the file, for seek()."""
        at = ctypes.c_longlong()
        check(lib.vexaGetCasePosition(self.handle, ctypes.byref(at)), "finding a case's position")
        return at.value

    def all_rows(self, chosen=None, convert=None, count=None):
        """The remaining cases, as an (n, case_size) byte array, or as the
        Columns of the variables numbered in `chosen`. `count` (by default
        the header's case count) sizes the first read unless no memory can
        hold that many (a damaged count); reading goes on in chunks while
        cases keep coming. Whether any follow the count is asked with a read
        of one: the buffers of a chunk would cost more than the read."""
        count = self.dictionary.case_count if count is None else count
        parts, limit = [], count or CHUNK_ROWS
        while True:
            try:
                parts.append(self.rows(limit) if chosen is None else self.columns(limit, chosen, convert))
            except MemoryError:
                if limit == CHUNK_ROWS:
                    raise
                limit = CHUNK_ROWS
                continue
            if len(parts[-1]) < limit:
                break
            limit = 1 if len(parts) == 1 and count else CHUNK_ROWS
        parts = [p for p in parts if len(p)] or parts[:1]
        if len(parts) == 1:
            return parts[0]
        return np.concatenate(parts) if chosen is None else _cases.Columns.concatenate(parts)

    def chosen(self, names):
        """The numbers of the variables of these names."""
        return [i for i, v in enumerate(self.dictionary.variables) if v.name in names]

    def complete(self, chosen):
        """Reads whole the dictionary entries of the variables numbered in
        `chosen`."""
        names = {self.dictionary.variables[i].name for i in chosen}
        self.dictionary = _complete(self.handle, self.dictionary, names)

    def close(self):
        if self.handle >= 0:
            lib.vexaCloseRead(self.handle)
            self.handle = -1

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def columns_of(raw, dictionary, layout, factorize=_cases.factorize_numpy, only=None, copy=False):
    """Columns by name, of every variable or of those named in `only`, of an
    (n, case_size) array of cases or their Columns: views of the buffer's
    numeric slots or rows of the Columns' numbers (float64, NaN for system-missing; copies
    with `copy`, which leave the buffer free), or object arrays of str. The
    texts of variables left out are not decoded."""
    chosen = [i for i, v in enumerate(dictionary.variables) if only is None or v.name in only]
    strings = _cases.string_columns(raw, layout, factorize,
                                    {i for i in chosen if dictionary.variables[i].is_string})
    out = {}
    for i in chosen:
        v = dictionary.variables[i]
        if v.is_string:
            out[v.name] = strings[i]
        elif isinstance(raw, _cases.Columns):  # rows of an array of the columns'
            out[v.name] = raw.numbers[raw.row_of[i]]
        else:
            column = raw.view("<f8")[:, layout.offsets[i] // 8]
            out[v.name] = column.copy() if copy else column
    return out


def read_dictionary(path: PathLike, password: Password = None) -> Dictionary:
    """The dictionary of a file, without its cases. A protected file needs
    its password (str or bytes)."""
    with _Reader(path, password) as r:
        return r.dictionary


def read(path: PathLike, password: Password = None) -> Data:
    """The dictionary and all columns of a file, in raw-array form (for
    DataFrames with dtypes, labels and dates, see read_dataframe). Numeric
    columns are float64
    with NaN for system-missing (user-missing values stay as they are, the
    dictionary tells which they are), strided views of one buffer of whole
    cases; string columns hold str objects without trailing blanks. A
    protected file needs its password."""
    with _Reader(path, password) as r:
        return Data(r.dictionary, columns_of(r.all_rows(), r.dictionary, r.layout))


def iter_chunks(path: PathLike, rows: int = 100_000, password: Password = None) -> Iterator[dict]:
    """Yields the columns of at most `rows` cases at a time in raw-array
    form, as read() gives them (dicts of NumPy arrays by name), holding no
    more than one chunk in memory. read_dataframe(path, chunksize=...)
    gives the chunks as DataFrames."""
    if rows < 1:
        raise ValueError("rows must be at least 1")
    with _Reader(path, password) as r:
        while True:
            raw = r.rows(rows)
            if raw.shape[0] == 0:
                return
            yield columns_of(raw, r.dictionary, r.layout)


class ColumnEncoder:
    """Turns the columns of a dictionary's variables into the arrays that the
    library writes cases from, a range of rows at a time: float64 numbers
    (NaN stands for system-missing) and blank-padded S<width> texts, each
    distinct text encoded once. Columns that already are float64 are handed
    over as they are, without a copy."""

    def __init__(self, dictionary, columns):
        self.steps = []  # (values, variable for texts or None)
        for v in dictionary.variables:
            values = columns[v.name]
            if v.is_string:
                if not isinstance(values, _cases.Texts):
                    values = _cases.Texts(*_cases.factorize_texts(values))
                self.steps.append((values, v))
            else:
                deferred = isinstance(values, _cases.Doubles)
                self.steps.append((values if deferred else np.asarray(values).reshape(-1), None))

    def arrays(self, start, stop, slot=None):
        """Rows start to stop of every column, contiguous. With a slot (a
        key), arrays of texts may lie in buffers of the slot's, reused by
        the next call with that slot: they are valid until then."""
        return [np.ascontiguousarray(values[start:stop], dtype=np.float64) if v is None
                else values.fixed(start, stop, v.width, v.name, slot) for values, v in self.steps]


def column_arrays(dictionary, columns, start, stop):
    """Rows start to stop of the columns as the arrays that writing()'s
    function takes."""
    return ColumnEncoder(dictionary, columns).arrays(start, stop)


def write(path: PathLike, dictionary: Dictionary, columns: dict, password: Password = None) -> None:
    """Writes a new file: the dictionary's variables, in its order, with the
    values of columns[name] (numbers with NaN for system-missing, or texts).
    A failure leaves any existing file as it was. With a password the file
    is written protected."""
    variables = dictionary.variables
    lengths = {len(columns[v.name]) for v in variables}
    if len(lengths) > 1:
        raise ValueError("the columns differ in length")
    n = lengths.pop() if lengths else 0
    # A thread writes each block of cases from its columns (the library
    # lets go of the interpreter meanwhile, and assembles the cases in a
    # buffer of its own that stays in the cache) while this one makes the
    # next block's columns; the library's calls on the handle stay one at a
    # time. The thread is done before the file is finished or abandoned.
    case_size = _cases.Layout(variables).case_size
    block = max(256, min(CHUNK_ROWS, WRITE_BLOCK_BYTES // max(case_size, 1)))
    encoder = ColumnEncoder(dictionary, columns)
    with writing(path, dictionary, password) as put, \
            concurrent.futures.ThreadPoolExecutor(1, "vexaio-write") as writer:
        pending = collections.deque()
        for k, start in enumerate(range(0, n, block)):
            if len(pending) == 2:  # at most two blocks of columns at a time
                pending.popleft().result()
            # The block two before this one, written, leaves its slot free.
            stop = min(n, start + block)
            pending.append(writer.submit(put, encoder.arrays(start, stop, slot=k % 2)))
        for p in pending:
            p.result()


@contextlib.contextmanager
def writing(path, dictionary, password=None):
    """Opens a new file of the dictionary and gives a function that writes
    cases to it, in order, from the arrays of their columns (one for each
    variable, in the dictionary's order, as ColumnEncoder.arrays makes
    them). The file replaces the target when the block ends without an
    exception; otherwise the writing is abandoned and the target stays as
    it was."""
    count, written = len(dictionary.variables), 0
    handles = (ctypes.c_double * count)(*range(1, count + 1))
    # What the library reads of each array, a case at a time.
    dtypes = [np.dtype(f"S{v.width}" if v.is_string else np.float64) for v in dictionary.variables]
    path, h = os.fsdecode(path), ctypes.c_int(-1)
    if password is None:
        code = lib.vexaOpenWriteU8(path_bytes(path), ctypes.byref(h))
    else:
        code = lib.vexaOpenWriteU8Ex(path_bytes(path), _password_bytes(password), ctypes.byref(h))
    if code > 0:
        raise open_error(code, path_bytes(path), f"opening {path!r} to write", writing=True)

    def put(arrays):
        nonlocal written
        if (len(arrays) != count or len({len(a) for a in arrays}) > 1
                or any(a.dtype != t or not a.flags.c_contiguous for a, t in zip(arrays, dtypes))):
            raise ValueError(f"columns {[(len(a), str(a.dtype)) for a in arrays][:8]}..., expected "
                             f"{count} contiguous ones of one length, of {[str(t) for t in dtypes][:8]}...")
        n = len(arrays[0]) if arrays else 0
        _cases.write_columns(h.value, handles, arrays, n, written)
        written += n

    try:
        define_dictionary(h.value, dictionary)
        check(lib.vexaCommitHeader(h.value), f"writing the dictionary of {path!r}")
        yield put
    except BaseException:
        lib.vexaAbandonFile(h.value)
        raise
    check(lib.vexaCloseWrite(h.value), f"finishing {path!r}")
