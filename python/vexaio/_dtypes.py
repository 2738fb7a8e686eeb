"""The dtypes of DataFrame columns in a file. A column whose dtype the
file's own types would not give back records it in the variable attribute
"vexaio.dtype" (the dtype's text, "Int64", "bool", "category", ...), which
any reader keeps and our reader restores; a column that is part of the
frame's index records its level in "vexaio.index". Also the exact
conversions between datetime64[ns] and the file's date values (seconds
since 14 October 1582, doubles)."""
import threading
import warnings

import numpy as np

DTYPE_ATTR = "vexaio.dtype"
INDEX_ATTR = "vexaio.index"

# Date values count seconds from 14 October 1582; datetime64 from 1970.
EPOCH_SECONDS = 12219379200
_NS = 10**9
_NAT = np.iinfo(np.int64).min
# datetime64[ns] covers about 292 years either side of 1970.
_NS_LIMIT_SECONDS = 9.2e9
# Integers that a double holds exactly, whatever their neighbours.
_EXACT_LIMIT = 2**53


def seconds_of_ns(ns, epoch=EPOCH_SECONDS, fractions=False, whole_seconds=False):
    """Date values (or durations with epoch 0) of int64 nanoseconds, NaN for
    NaT: for each the double nearest to the exact time. The whole seconds
    are exact in a double; adding the fraction rounds once, and no time of
    whole nanoseconds lies near enough to a midpoint between two doubles
    for the fraction's own rounding to matter. With `fractions`, also
    whether any time has a fraction of a second; with `whole_seconds` the
    times are known to have none, and their fractions are not looked at."""
    ns = np.asarray(ns, dtype=np.int64)
    nat = ns == _NAT
    # Floor division by a number and these sums are many times quicker in
    # NumPy than divmod and astype; the whole seconds are exact in doubles.
    whole = ns // _NS
    if whole_seconds and not fractions:
        out = np.add(whole, float(epoch), dtype=np.float64)
        out[nat] = np.nan
        return out
    part = ns - whole * _NS
    out = np.add(whole, float(epoch), dtype=np.float64)
    out += part / 1e9
    out[nat] = np.nan
    if not fractions:
        return out
    part[nat] = 0
    return out, bool(part.any())


def ns_of_seconds(seconds, epoch=EPOCH_SECONDS):
    """int64 nanoseconds of date values (NaT for NaN): of the times that the
    double is nearest to, the one of fewest decimals (whole seconds, then
    milliseconds, microseconds, nanoseconds), so that a time written from a
    frame comes back as it was wherever the file can tell it from its
    neighbours, and otherwise as the nearest time the file holds."""
    seconds = np.asarray(seconds, dtype=np.float64)
    # Whole seconds (and NaN) alone, the usual case, in a few passes.
    with np.errstate(invalid="ignore"):
        out = seconds.astype(np.int64)
    inexact = out != seconds
    if not inexact.any() or np.array_equal(inexact, np.isnan(seconds)):
        out -= epoch
        out *= _NS
        out[inexact] = _NAT
        return out
    nan = np.isnan(seconds)
    x = np.where(nan, 0.0, seconds) if nan.any() else seconds
    whole = np.floor(x)
    fraction = x - whole  # exact
    todo = fraction != 0
    ns = np.zeros(len(x), dtype=np.int64)
    for digits in (3, 6, 9):
        if not todo.any():
            break
        scale = 10**digits
        steps = np.round(fraction[todo] * scale)
        back = whole[todo] + steps / scale
        hit = back == x[todo] if digits < 9 else np.ones(len(steps), bool)
        at = np.flatnonzero(todo)[hit]
        ns[at] = steps[hit].astype(np.int64) * (_NS // scale)
        todo[at] = False
    out = whole.astype(np.int64)
    out -= epoch
    out *= _NS
    out += ns
    out[nan] = _NAT
    return out


def datetimes(seconds, name):
    """datetime64[ns] of date values made in their own memory (the values
    are taken over), or None (with a warning) when one lies beyond what
    datetime64[ns] can hold."""
    dates = Dates(seconds)
    if not dates.convert(0, len(seconds)):
        warnings.warn(f"vexaio: {name} holds dates outside 1678-2261; kept as seconds since 1582",
                      stacklevel=4)
        return None
    return dates.result(len(seconds))


# Values converted at a time: their temporaries stay in the cache, and the
# results go into memory already in use, not fresh pages (dear on some
# machines).
BLOCK = 1 << 15
# The temporaries of a block, the same arrays for every block a thread
# converts.
_SCRATCH = threading.local()


def _blocks(a, b):
    return ((c, min(c + BLOCK, b)) for c in range(a, b, BLOCK))


def scratch(n):
    """A float64 and a bool array of n values for the temporaries of a
    block: this thread's own, overwritten by the next block."""
    arrays = getattr(_SCRATCH, "arrays", None)
    if arrays is None or len(arrays[1]) < n:
        arrays = _SCRATCH.arrays = (np.empty(max(n, BLOCK)), np.empty(max(n, BLOCK), bool))
    return arrays[0][:n], arrays[1][:n]


def bounded_whole(part, beyond):
    """For a block of float64 values whose least and greatest (NaN passed
    over; all NaN: NaN) do not make beyond(low, high) true: the values
    without their fractions and a bool scratch array (see whole_count), and
    how many are whole numbers; else None."""
    if beyond(np.fmin.reduce(part), np.fmax.reduce(part)):
        return None
    whole, same = scratch(len(part))
    return whole, same, whole_count(part, whole, same)


def whole_count(part, truncated, same):
    """How many of the values are whole numbers; truncated gets each value
    without its fraction (NaN stays NaN, and counts as none)."""
    np.trunc(part, out=truncated)
    return np.count_nonzero(np.equal(truncated, part, out=same))


def _beyond_dates(low, high):
    """Whether the earliest or latest date lies beyond datetime64[ns]."""
    return max(abs(low - EPOCH_SECONDS), abs(high - EPOCH_SECONDS)) > _NS_LIMIT_SECONDS


class Dates:
    """Converts float64 date values to datetime64[ns] over them, rows a to b
    at a time (convert), each value's time depending on it alone. A date
    beyond what datetime64[ns] holds turns the rows converted back: exactly,
    as each double of such a date is the one nearest to its time."""

    def __init__(self, values):
        self.values, self.ns, self.done = values, values.view(np.int64), 0

    def convert(self, a, b):
        """Converts rows a to b (those before are converted); False, with
        every row back as it was, when a date lies out of range."""
        with np.errstate(invalid="ignore"):
            return self._convert(a, b)

    def _convert(self, a, b):
        for c, d in _blocks(a, b):
            part = self.values[c:d]
            block = bounded_whole(part, _beyond_dates)
            if block is None:
                self.revert()
                return False
            # Whole seconds and NaN, the usual case, in fewer passes.
            whole, same, count = block
            if count < d - c and count + np.count_nonzero(np.isnan(part, out=same)) < d - c:
                self.ns[c:d] = ns_of_seconds(part)
            else:
                ns = self.ns[c:d]
                np.copyto(ns, whole, casting="unsafe")
                ns -= EPOCH_SECONDS
                ns *= _NS
                if count < d - c:
                    np.copyto(ns, _NAT, where=same)
            self.done = d
        return True

    def revert(self):
        for c, d in _blocks(0, self.done):
            self.values[c:d] = seconds_of_ns(self.ns[c:d])
        self.done = 0

    def result(self, n):
        return self.ns[:n].view("datetime64[ns]")


class Integers:
    """Converts float64 values to the 64-bit integers of a dtype text over
    them, rows a to b at a time: an IntegerArray when the dtype is nullable
    or NaN stands among them, else an ndarray. A value that is no integer of
    the dtype (a fraction, beyond its range) turns the rows converted back:
    exactly, as their integers each equal the double they came from."""

    def __init__(self, pd, values, text):
        self.pd, self.values, self.text = pd, values, text
        self.ints, self.nan, self.done = values.view(text.lower()), None, 0
        # The dtype's range as doubles: from the least up to, not with, the limit.
        self.least, self.limit = (-2.0**63, 2.0**63) if text[0] in "iI" else (0.0, 2.0**64)

    def convert(self, a, b):
        with np.errstate(invalid="ignore"):
            return self._convert(a, b)

    def _beyond(self, low, high):
        return low < self.least or high >= self.limit

    def _convert(self, a, b):
        for c, d in _blocks(a, b):
            part = self.values[c:d]
            block = bounded_whole(part, self._beyond)
            if block is None:
                self.revert()
                return False
            whole, same, count = block
            if count < d - c:
                if self.nan is None:
                    self.nan = np.zeros(len(self.values), bool)
                gaps = np.isnan(part, out=self.nan[c:d])
                if count + np.count_nonzero(gaps) < d - c:
                    self.revert()
                    return False
            np.copyto(self.ints[c:d], whole, casting="unsafe")
            self.done = d
        return True

    def revert(self):
        for c, d in _blocks(0, self.done):
            self.values[c:d] = self.ints[c:d].astype(np.float64)
        if self.nan is not None:
            self.values[:self.done][self.nan[:self.done]] = np.nan
        self.done = 0

    def result(self, n):
        if self.nan is None and self.text[0] in "iu":
            return self.ints[:n]
        return self.pd.arrays.IntegerArray(self.ints[:n], np.zeros(n, bool) if self.nan is None
                                           else self.nan[:n])


class Booleans:
    """Converts float64 values, each 0, 1 or NaN, to bool (boolean, where
    NaN stands among them or the dtype text asks for it), rows a to b at a
    time, leaving the values as they are."""

    def __init__(self, pd, values, text):
        self.pd, self.values, self.text = pd, values, text
        self.out, self.nan = np.empty(len(values), bool), None

    def convert(self, a, b):
        """False when another value stands among rows a to b."""
        for c, d in _blocks(a, b):
            part, out = self.values[c:d], self.out[c:d]
            same = scratch(d - c)[1]
            count = (np.count_nonzero(np.equal(part, 1.0, out=out))
                     + np.count_nonzero(np.equal(part, 0.0, out=same)))
            if count < d - c:
                if self.nan is None:
                    self.nan = np.zeros(len(self.values), bool)
                if count + np.count_nonzero(np.isnan(part, out=self.nan[c:d])) < d - c:
                    return False
        return True

    def revert(self):
        pass

    def result(self, n):
        if self.text == "bool" and self.nan is None:
            return self.out[:n]
        return self.pd.arrays.BooleanArray(self.out[:n], np.zeros(n, bool) if self.nan is None
                                           else self.nan[:n])


def converter(pd, values, v, dates):
    """What converts a numeric variable's float64 values (rows of memory of
    their own, which it takes over) as they are read, when read_dataframe
    makes them no more than a dtype that the values alone decide: dates,
    64-bit integers, bools. None for others."""
    text = v.attributes.get(DTYPE_ATTR)
    if v.is_string or v.missing_values or v.missing_range is not None or v.value_labels:
        return None
    if v.is_date:
        return Dates(values) if dates and not text else None
    if text in ("int64", "uint64", "Int64", "UInt64"):
        return Integers(pd, values, text)
    return Booleans(pd, values, text) if text in ("bool", "boolean") else None


def _ns_in_place(seconds, epoch):
    """ns_of_seconds of float64 values, written over them a block at a time
    (each value's time depends on it alone); their int64 view."""
    if not (isinstance(seconds, np.ndarray) and seconds.dtype == np.float64):
        return ns_of_seconds(seconds, epoch)
    out = seconds.view(np.int64)
    for a, b in _blocks(0, len(seconds)):
        out[a:b] = ns_of_seconds(seconds[a:b], epoch)
    return out


def check_integers(values, name, index, big_integers, present=None):
    """The values of an integer column as numbers: the integers themselves
    where a double holds them all exactly (made doubles as they are
    written), else float64; ValueError for a value beyond what a double
    holds exactly, naming the column and its first row, unless big_integers
    is "round". None when they go as text. Only the values where `present`
    is true (all, by default) count."""
    values = np.asarray(values)
    if values.size == 0 or (values.max() <= _EXACT_LIMIT and values.min() >= -_EXACT_LIMIT):
        return values
    if values.dtype.kind == "u":
        inexact = values > _EXACT_LIMIT
    else:
        inexact = (values > _EXACT_LIMIT) | (values < -_EXACT_LIMIT)
    if present is not None:
        inexact &= present
    if inexact.any():
        big = values[inexact]
        as_float = big.astype(np.float64)
        # 2**63 and beyond are no int64 (nor, at 2**64, uint64).
        fits = as_float < 2.0**63 if values.dtype.kind == "i" else as_float < 2.0**64
        lost = ~fits
        lost[fits] = as_float[fits].astype(values.dtype) != big[fits]
        if lost.any():
            if big_integers == "text":
                return None
            if big_integers != "round":
                row = np.flatnonzero(inexact)[np.argmax(lost)]
                raise ValueError(
                    f"vexaio: column {name!r} holds {big[lost][0]} (row {index[row]!r}), which a "
                    "number in the file cannot hold exactly (integers up to 2**53 are exact); "
                    "pass big_integers='round' to store it rounded or 'text' to store the "
                    "column as text")
    return values.astype(np.float64)


def _nullable_of(dtype_text):
    """The nullable pandas dtype of a NumPy integer or bool dtype's text."""
    if dtype_text == "bool":
        return "boolean"
    return dtype_text.replace("uint", "UInt").replace("int", "Int")


def restore(pd, values, v, labels):
    """The column of values (as the file's types give them) in the dtype
    that the variable records, where the values still fit it; the values
    unchanged otherwise. 64-bit integers and durations are made in the
    memory of float64 values, which are taken over."""
    text = v.attributes.get(DTYPE_ATTR)
    if not text:
        return values
    try:
        if text == "category":
            return values  # made by the caller from the value labels
        if v.is_string:
            if text == "string":
                return pd.array(values, dtype="string")
            if text[:3] in ("int", "uin", "Int", "UIn"):  # integers written as text
                numbers = [None if x is None or x == "" else int(x) for x in values]
                if None in numbers or text[0].isupper():
                    return pd.array(numbers, dtype=_nullable_of(text.lower()))
                return np.array(numbers, dtype=text)
            return values
        if isinstance(values, np.ndarray) and values.dtype.kind == "M":
            if text.startswith("datetime64[ns, "):
                stamps = pd.DatetimeIndex(values)
                try:
                    return pd.array(stamps.tz_localize(text[15:-1]))
                except (ValueError, TypeError) as e:  # a wall-clock time that no longer maps
                    warnings.warn(f"vexaio: {v.name} is kept as wall-clock time: {e}", stacklevel=4)
            return values
        if not (isinstance(values, np.ndarray) and values.dtype == np.float64):
            return values
        if text.startswith("timedelta64"):
            return _ns_in_place(values, 0).view("timedelta64[ns]")
        if text.lower() in ("int64", "uint64", "bool", "boolean"):
            make = Integers if text[-2:] == "64" else Booleans
            numbers = make(pd, values, text)
            return numbers.result(len(values)) if numbers.convert(0, len(values)) else values
        if text.startswith(("int", "uint", "Int", "UInt")):
            # A value the dtype cannot hold (a fraction, NaN, beyond its
            # range) does not come back as itself.
            with np.errstate(invalid="ignore"):
                numbers = values.astype(text.lower())
            exact = numbers == values
            if exact.all() and text[0] in "iu":
                return numbers
            nan = np.isnan(values)
            if not (exact | nan).all():
                return values
            numbers[nan] = 0
            return pd.arrays.IntegerArray(numbers, nan)
        if text in ("float32", "Float32", "Float64"):
            return values.astype(np.float32) if text == "float32" else pd.array(values, dtype=text)
    except (TypeError, ValueError, OverflowError) as e:
        warnings.warn(f"vexaio: {v.name} does not come back as {text}: {e}", stacklevel=4)
    return values


def dtype_text(pd, dtype):
    """What a column of this dtype records, or None when the file's own
    types give it back (float64, texts, naive datetime64[ns])."""
    if dtype == np.float64 or dtype == object or str(dtype) == "datetime64[ns]":
        return None
    if isinstance(dtype, pd.CategoricalDtype):
        return "category"
    return str(dtype)
