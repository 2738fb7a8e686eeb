"""Files larger than one process holds, through Dask.

    import vexaio.dask
    ddf = vexaio.dask.read_dask("big.vexa", partition_rows=500_000)
    vexaio.dask.to_vexa(ddf[ddf.age > 30], "older.vexa")

read_dask makes a Dask DataFrame of one partition per range of cases; the
worker that computes a partition opens the file itself, seeks to the
range's first case and reads only that range. to_vexa computes the
partitions of a Dask DataFrame in parallel and writes them, in order, as one
file. Dask schedules everything: with a distributed Client the work goes to
its workers, else to Dask's default scheduler."""
import collections
import concurrent.futures
import contextlib
import contextvars
import ctypes
import os
import threading
import warnings
from typing import Optional, Sequence, Union

import numpy as np

import dask
from dask.base import get_scheduler
from dask.base import tokenize
from dask.dataframe import from_delayed, methods
from dask.dataframe.utils import clear_known_categories, has_known_categories

from . import _cases
from ._capi import ENCODING, VexaError, check, lib
from ._files import _Reader, column_arrays, writing
from ._frame_writer import _column, frame_dictionary
from ._dictionary import Dictionary
from ._frames import DICTIONARY_ATTR, MISSING_ATTR, Labels, PathLike, _pandas, frame_of

# vexaSeekNextCase takes an int: a seek this far goes past the last case.
_BEYOND = 2**31 - 1
# Partitions computed ahead of the one being written.
_WRITE_AHEAD = 2
# Read handles a worker process keeps open between partitions.
_KEEP_OPEN = 4


def read_dask(path: PathLike, partition_rows: int = 1_000_000,
              columns: Optional[Sequence[str]] = None, labels: Labels = None, dates: bool = True,
              password: Optional[Union[str, bytes]] = None) -> "dask.dataframe.DataFrame":
    """A Dask DataFrame of a file's cases, partition_rows cases a partition,
    each partition as read_dataframe makes its rows (columns, labels, dates
    and recorded dtypes as there; rows labelled by case number from 0, the
    index columns left columns). Its columns and dtypes come from the
    dictionary alone; categoricals of value labels have unknown categories,
    for a value without a label becomes a category of its own. The path must
    name the same file on every worker. A file that does not record its
    number of cases is counted first, by one pass through it that decodes no
    case. A protected file needs its password, which travels to the workers
    with the tasks."""
    if partition_rows < 1:
        raise ValueError("partition_rows must be at least 1")
    path = os.fspath(path)
    with _Reader(path, password) as r:
        d = r.dictionary
        starts, positions, count = _partition_starts(r, partition_rows)
        meta = frame_of(_cases.new_rows(0, r.layout.case_size), d, r.layout, labels, dates,
                        columns=columns, index_col=False)
    names = list(meta.columns)
    meta = clear_known_categories(meta)
    meta.attrs[DICTIONARY_ATTR] = d
    ranges = [{"first": s, "count": min(partition_rows, count - s), "last": s == starts[-1], "at": p}
              for s, p in zip(starts, positions)]
    # Delayed calls, not from_map: the in-process scheduler of a distributed
    # cluster hands from_map's arguments over still wrapped for the wire.
    read = _CaseRange(path, names, labels, dates, password)
    token = tokenize(read, ranges, os.stat(path).st_mtime_ns)
    parts = [dask.delayed(read, pure=True)(r, dask_key_name=(f"read-vexa-{token}", i))
             for i, r in enumerate(ranges)]
    return from_delayed(parts, meta=meta, divisions=(*starts, max(count - 1, 0)),
                        verify_meta=False)


def _partition_starts(r, rows):
    """The first case of each partition, where each begins in the file, and
    the number of cases. Uncompressed cases lie at known places. In
    compressed data the places are found by one pass that walks over the
    cases without decoding their values, so that each partition starts at
    its own first case without passing those of the others; a file that
    does not record its number of cases is counted on the same pass."""
    d = r.dictionary
    if d.compression == "none" and d.case_count is not None:
        starts = list(range(0, d.case_count, rows)) or [0]
        return starts, [None] * len(starts), d.case_count
    starts, positions = [], []
    try:
        while True:
            first = len(starts) * rows
            if d.case_count is not None and first >= d.case_count and starts:
                break
            r.seek(first)
            at = r.position()
            if d.case_count is None and starts and lib.vexaWholeCaseIn(r.handle, None) != 0:
                break  # no case there: the end, or damage that _count_cases reports
            starts.append(first)
            positions.append(at)
        count = d.case_count if d.case_count is not None else _count_cases(r)
    except VexaError:
        # Damaged data: the last partition reads on into the damage and
        # reports it when it is computed.
        starts, positions = starts or [0], positions or [None]
        count = max(d.case_count or 0, starts[-1] + 1)
    return starts, positions, count


def _count_cases(r):
    """The cases of an open file whose header does not count them. Seeking
    beyond the last case has the library skip through the data without
    decoding values; at the end it knows the count."""
    r.seek(_BEYOND)
    code = lib.vexaWholeCaseIn(r.handle, None)
    if code != _cases.END_OF_DATA:
        check(code, "skipping to the end of the cases")
        raise ValueError(f"vexaio: the file holds more than {_BEYOND} cases")
    n = ctypes.c_int()
    check(lib.vexaGetNumberofCases(r.handle, ctypes.byref(n)), "reading the case count")
    return n.value


class _CaseRange:
    """Reads one range of cases, {first, count, last, at}, as a DataFrame,
    starting at the position of its first case when there is one; the last
    range also takes any cases beyond the header's count."""

    def __init__(self, path, columns, labels, dates, password=None):
        self.path, self.columns, self.labels, self.dates = path, columns, labels, dates
        self.password = password

    def __call__(self, part):
        # The partitions keep the cores busy: a partition's read takes no
        # thread beside its own.
        return contextvars.copy_context().run(self._read, part)

    def _read(self, part):
        _cases.EXTRA_THREADS.set(False)
        first, count, last, position = part["first"], part["count"], part["last"], part["at"]
        with _open_readers.reader(self.path, self.password) as r:
            r.seek(first, position)
            chosen = r.chosen(set(self.columns))
            # The last range takes any cases beyond the count too.
            cases = r.all_rows(chosen, count=count) if last else r.columns(count, chosen)
        return frame_of(cases, r.dictionary, r.layout, self.labels, self.dates, first, self.columns,
                        index_col=False)


class _OpenReaders:
    """Read handles that a worker process keeps open from one partition to
    the next, which saves opening the file and reading its dictionary again
    (a partition's position puts any handle on its first case at once). A
    partition takes the idle handle of its file
    that has come furthest, and gives it back when it is done; a handle
    whose read failed is closed. Handles of a file that has since changed
    (another inode, size or time) are closed, and no more than _KEEP_OPEN
    stay idle."""

    def __init__(self):
        self.lock, self.idle = threading.Lock(), []  # [(file, _Reader)], oldest first

    @contextlib.contextmanager
    def reader(self, path, password=None):
        st = os.stat(path)
        file = (os.path.abspath(path), st.st_dev, st.st_ino, st.st_size, st.st_mtime_ns)
        with self.lock:
            mine = [i for i, (f, _) in enumerate(self.idle) if f == file]
            r = self.idle.pop(max(mine, key=lambda i: self.idle[i][1].read))[1] if mine else None
        r = r or _Reader(path, password)
        try:
            yield r
        except BaseException:
            r.close()
            raise
        with self.lock:
            self.idle.append((file, r))
            stale = [e for e in self.idle if e[0][0] == file[0] and e[0] != file]
            stale += [e for e in self.idle[:-_KEEP_OPEN] if e not in stale]
            self.idle = [e for e in self.idle if e not in stale]
        for _, old in stale:
            old.close()


_open_readers = _OpenReaders()


def to_vexa(ddf: "dask.dataframe.DataFrame", path: PathLike, compression: str = "bytecode",
            labels: Optional[dict] = None, dictionary: Optional[Dictionary] = None,
            password: Optional[Union[str, bytes]] = None, columns: Optional[Sequence[str]] = None,
            big_integers: str = "raise") -> None:
    """Writes a Dask DataFrame (of `columns`, by default all) as one new
    file, the same file that write_dataframe(ddf.compute(), path, ...,
    index=False) writes with these arguments; `dictionary` defaults to the
    one of read_dask. With a password the file is written protected.

    When every column keeps its variable of the dictionary (as the columns
    of read_dask do: same kind, formats given), the variables are known
    before a case is read, and one pass suffices: each worker turns its
    partition into the columns of its cases (numbers as doubles, texts
    encoded), which are written in order as they arrive while the next
    partitions are computed, without the whole frame ever in one place; a
    worker whose partition asks for another variable (a longer text, a
    missing text, ...) says so, and the write
    starts again as below. Otherwise two passes over the partitions: the
    first finds the variables (widest text, largest number and so on,
    column by column), the second writes as above. Written beside the
    target and renamed over it, so a failure leaves any existing file as
    it was."""
    if dictionary is None:
        dictionary = ddf._meta.attrs.get(DICTIONARY_ATTR)
    if columns is not None:
        ddf = ddf[list(columns)]
    parts = ddf.to_delayed()
    out = _known_variables(ddf._meta, compression, labels, dictionary, big_integers)
    if out is not None and _write_cases(parts, out, labels, big_integers, path, password, dictionary):
        return
    sketch = methods.concat(dask.compute(*(dask.delayed(_sketch)(p, big_integers) for p in parts)))
    sketch.attrs = {}
    out, _ = frame_dictionary(sketch, compression, labels, dictionary, False, "repair", big_integers)
    _write_cases(parts, out, labels, big_integers, path, password)


def _known_variables(meta, compression, labels, dictionary, big_integers):
    """The dictionary of the frame when no value of it can change it: every
    column keeps its variable of the dictionary, formats and all. Else None.
    What values still can change (a text longer than its variable, a
    missing text, texts in a column of numbers) the workers check."""
    if dictionary is None:
        return None
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        try:
            out, _ = frame_dictionary(meta.iloc[:0], compression, labels, dictionary, False,
                                      "repair", big_integers)
        except (TypeError, ValueError, KeyError):
            return None
    known = {v.name: v for v in dictionary.variables}
    for column, v in zip(meta.columns, out.variables):
        base, dtype = known.get(column), meta[column].dtype
        if (base is None or (isinstance(dtype, _pandas().CategoricalDtype)
                             and not has_known_categories(meta[column])) or v.name != column or base.is_string != v.is_string
                or v.print_format != base.print_format
                or (base.is_string and v.width != base.width)):
            return None
    return out


class _OtherVariables(Exception):
    """A partition's values ask for other variables than those assumed."""


def _write_cases(parts, out, labels, big_integers, path, password, base=None):
    """Writes the partitions' cases with the dictionary `out`. Given the
    dictionary `base` the columns came with, the variables that each
    partition makes of it must be those of `out`, else nothing is written
    and the result is False."""
    cases = [dask.delayed(_cases_of)(p, out, big_integers, labels, base) for p in parts]
    try:
        with writing(path, out, password) as put:
            for arrays in _in_order(cases, _WRITE_AHEAD):
                if arrays is None:
                    raise _OtherVariables
                put(arrays)
    except _OtherVariables:
        return False
    return True


def _sketch(df, big_integers="raise"):
    """A few rows of each column that give write_dataframe the variable
    that the whole column gives it: the longest text; the number of largest
    size, the smallest and the first fraction or time of day. A categorical
    takes one row: its dtype carries the categories."""
    pd = _pandas()
    if 0 in df.shape:
        return df
    columns = [df.iloc[:, j] for j in range(df.shape[1])]
    codes = df.attrs.get(MISSING_ATTR) or {}
    picks = [_picks(pd, name, s, codes.get(name), big_integers) for name, s in zip(df.columns, columns)]
    k = max(map(len, picks))
    out = pd.concat([s.iloc[(p * k)[:k]].reset_index(drop=True) for s, p in zip(columns, picks)],
                    axis=1, ignore_index=True)
    out.columns = df.columns
    return out


def _picks(pd, name, series, codes=None, big_integers="raise"):
    """Row positions of the values that decide the column's variable (codes:
    the user-missing codes of the column, by row label)."""
    if isinstance(series.dtype, pd.CategoricalDtype) or pd.api.types.is_bool_dtype(series.dtype):
        return [0]
    v, values, _ = _column(pd, str(name), series, None, big_integers)
    values = values if v.is_string else np.asarray(values)
    if v.is_string:
        present = values[pd.notna(values)]
        if not len(present):
            return [0]
        longest = max(pd.unique(present), key=lambda text: len(text.encode(ENCODING)))
        # And a missing text other than a user-missing code, which declares
        # the blank text missing.
        gone = pd.isna(values)
        if codes is not None:
            gone &= ~series.index.isin(codes.index)
        return [int(np.flatnonzero(values == longest)[0])] + [int(i) for i in np.flatnonzero(gone)[:1]]
    finite = np.flatnonzero(np.isfinite(values))
    if not len(finite):
        return [0]
    x = values[finite]
    found = [np.abs(x).argmax(), x.argmin()]
    for odd in (x != np.round(x), x % 86400 != 0):
        if odd.any():
            found.append(odd.argmax())
    return [int(finite[i]) for i in found]


def _cases_of(df, dictionary, big_integers="raise", labels=None, base=None):
    """A partition's cases as the arrays of their columns that writing()
    takes (numbers as doubles, texts encoded and padded); given the dictionary `base` of the columns, None when the variables
    that the partition makes of it are not those of the dictionary."""
    with warnings.catch_warnings():  # given once, by the sketch
        warnings.simplefilter("ignore")
        own, columns = frame_dictionary(df, dictionary.compression, labels,
                                        dictionary if base is None else base, False, "repair",
                                        big_integers)
    if base is not None and own.variables != dictionary.variables:
        return None
    return column_arrays(dictionary, columns, 0, len(df))


def _in_order(tasks, ahead):
    """The results of Dask delayed tasks in their order, with up to `ahead`
    tasks computing while the caller works on one result: on the workers of
    a distributed client, else each in a thread of its own under Dask's
    default scheduler."""
    client = getattr(get_scheduler(), "__self__", None)  # Client.get, for a distributed client
    with contextlib.ExitStack() as stack:
        if hasattr(client, "compute"):
            start = client.compute
        else:
            pool = stack.enter_context(concurrent.futures.ThreadPoolExecutor(ahead, "vexaio-compute"))
            start = lambda task: pool.submit(lambda: dask.compute(task)[0])  # noqa: E731
        pending = collections.deque()
        for task in tasks:
            pending.append(start(task))
            if len(pending) > ahead:
                yield pending.popleft().result()
        while pending:
            yield pending.popleft().result()
