"""Writing DataFrames: each column's variable (from the frame's dictionary
where it still fits, else from the column), its values as the file holds
them, the dtype recorded where the file's types would not give it back,
the index as columns, and the names repaired."""
import concurrent.futures
import copy
import os
import warnings
from typing import TYPE_CHECKING, Optional, Union

import numpy as np

from ._capi import ENCODING
from ._cases import Doubles, Texts, factorize_texts
from ._dictionary import DATE_FORMATS, Dictionary, Variable, format_type
from ._dtypes import _NAT, _NS, DTYPE_ATTR, INDEX_ATTR, check_integers, dtype_text, seconds_of_ns
from ._files import write
from ._frames import DICTIONARY_ATTR, MISSING_ATTR, _pandas
from ._names import variable_names

if TYPE_CHECKING:
    import pandas

PathLike = Union[str, bytes, os.PathLike]

# The widest string variable.
MAX_WIDTH = 32767
# Values a frame has at least when its columns are prepared by two threads.
PARALLEL_VALUES = 1 << 20


def _has_fraction(x):
    """Whether a finite number of x has a fraction; its first rows are
    looked at first, where a column of fractions shows them at once."""
    with np.errstate(invalid="ignore"):
        for part in (x[:4096], x):
            if np.any(part != np.round(part), where=np.isfinite(part)):
                return True
    return False


def _number_format(x, integral=False):
    """The F format of numbers, integral ones when they are known to be.
    The smallest and largest pass over NaN."""
    if x.size == 0:
        return "F8.2"
    low, high = (x.min(), x.max()) if x.dtype.kind in "iu" else (np.fmin.reduce(x), np.fmax.reduce(x))
    if np.isinf(low) or np.isinf(high):
        finite = x[np.isfinite(x)]
        low, high = (finite.min(), finite.max()) if finite.size else (np.nan, np.nan)
    if np.isnan(low):
        return "F8.2"
    digits = len(str(int(max(abs(low), abs(high))))) + int(low < 0)
    if integral or not _has_fraction(x):
        return f"F{min(digits, 40)}.0"
    return f"F{min(max(digits + 3, 8), 40)}.2"


def _multiples(x, d):
    """Whether each int64 of x is a multiple of d. NumPy's floor division by
    a number is many times quicker than its remainder."""
    return x // d * d == x


def _date_format(ns):
    """The format of times given as int64 nanoseconds (NaT for none): with a
    fraction of a second DATETIME23.2, else with a time of day DATETIME20,
    else DATE11. A block of rows at a time, in the cache."""
    timed = False
    for a in range(0, len(ns), 1 << 16):
        part = ns[a:a + (1 << 16)]
        nat = part == _NAT
        if not timed and (_multiples(part, 86400 * _NS) | nat).all():
            continue
        timed = True
        if not (_multiples(part, _NS) | nat).all():
            return "DATETIME23.2"
    return "DATETIME20" if timed else "DATE11"


def _time_format(seconds):
    finite = np.abs(seconds[np.isfinite(seconds)])
    hours = len(str(int(finite.max() // 3600))) if finite.size else 2
    width = max(8, hours + 6) + int((finite < 0).any())
    return f"TIME{width}" if np.all(finite == np.round(finite)) else f"TIME{max(width + 7, 15)}.6"


def _is_number(x):
    return isinstance(x, (int, float, np.number)) and not isinstance(x, (bool, np.bool_))


def _category_values(series, v, fresh):
    """The value of each category, and after them that of a missing value
    (code -1), and the value labels that a categorical column writes: labels
    that the dictionary knows go back to their values, numbers stand for
    themselves, other categories get new codes after the largest value."""
    value_labels = {} if fresh else dict(v.value_labels)
    known = {label: value for value, label in value_labels.items()}
    categories = list(series.cat.categories)
    next_code = 1.0 + max([0.0] + [float(x) for x in list(known.values()) + categories if _is_number(x)])
    values = []
    for c in categories:
        if c in known:
            values.append(known[c])
        elif v.is_string or _is_number(c):
            values.append(str(c) if v.is_string else float(c))
        else:
            values.append(next_code)
            value_labels[next_code] = str(c)
            next_code += 1
    fill = None if v.is_string else np.nan
    return np.array(values + [fill], dtype=object if v.is_string else np.float64), value_labels


def _fit_texts(v, texts, name, index):
    """Widens the string variable to the widest of the texts (a Texts);
    ValueError naming the column, the row and the limit for a text longer
    than a string variable holds."""
    lengths = np.array([len(x.encode(ENCODING)) for x in texts.unique.tolist()] or [1])
    width = int(lengths.max())
    if width > MAX_WIDTH:
        row = int(np.flatnonzero(texts.codes == int(np.argmax(lengths)))[0])
        raise ValueError(f"vexaio: column {name!r}, row {index[row]!r}: a text of {width:,} bytes, "
                         f"longer than the {MAX_WIDTH:,} bytes a string variable holds")
    if width > v.width:
        v.width = width
        v.print_format = v.write_format = f"A{width}"


def _column(pd, name, series, base, big_integers="raise"):
    """The variable and the values that a column writes, and for a column
    of texts their Texts where it was worth making them here (else None).
    A variable of the frame's dictionary is kept where it still fits the
    column."""
    dtype = series.dtype
    string_like = pd.api.types.is_object_dtype(dtype) or pd.api.types.is_string_dtype(dtype)
    is_cat = isinstance(dtype, pd.CategoricalDtype)
    is_int = pd.api.types.is_integer_dtype(dtype) and not is_cat
    recorded = dtype_text(pd, dtype)
    numbers = texts = present = None
    if is_cat:
        wants_string = base is not None and base.is_string
    elif string_like:
        # The kind of the distinct values is the kind of the column.
        texts = Texts(*factorize_texts(series.to_numpy(dtype=object)))
        kind = pd.api.types.infer_dtype(texts.unique, skipna=True)
        if kind in ("string", "empty"):
            wants_string = True
        elif kind in ("integer", "floating", "mixed-integer-float", "decimal"):
            wants_string, series, texts = False, series.astype(np.float64), None
        else:
            raise TypeError(f"vexaio: column {name!r} holds {kind} values, not texts or numbers")
    elif is_int:
        present = series.notna().to_numpy()
        # A missing integer stands in as the first present one, so that the
        # smallest and largest values are those of the present ones.
        fill = series.iloc[int(np.argmax(present))] if present.any() else 0
        raw = series.to_numpy(dtype=dtype.numpy_dtype if hasattr(dtype, "numpy_dtype") else dtype,
                              na_value=fill) if not present.all() else series.to_numpy()
        checked = check_integers(raw, name, series.index, big_integers, present)
        wants_string = checked is None
        if not wants_string:
            numbers, present = checked, None if present.all() else present
    elif ((pd.api.types.is_numeric_dtype(dtype) and not pd.api.types.is_complex_dtype(dtype))
          or pd.api.types.is_bool_dtype(dtype) or pd.api.types.is_datetime64_any_dtype(dtype)
          or pd.api.types.is_timedelta64_dtype(dtype)):
        wants_string = False
    else:
        raise TypeError(f"vexaio: column {name!r} of dtype {dtype} cannot be written")
    fresh = base is None or base.is_string != wants_string
    v = Variable(name=name, measure="nominal" if wants_string else "scale") if fresh else copy.deepcopy(base)
    v.attributes.pop(DTYPE_ATTR, None)
    v.attributes.pop(INDEX_ATTR, None)
    # A categorical of a variable's value labels is what reading with labels
    # gives anyway.
    if recorded and not (is_cat and base is not None and base.value_labels
                         and DTYPE_ATTR not in base.attributes):
        v.attributes[DTYPE_ATTR] = recorded
    if is_cat:
        of_code, v.value_labels = _category_values(series, v, fresh)
        codes = series.cat.codes.to_numpy()
        if v.is_string:
            values = of_code[codes]
        else:
            values = Doubles(len(codes), lambda a, b: of_code[codes[a:b]])
            used = np.zeros(len(of_code), dtype=bool)
            used[codes] = True
            numbers = of_code[used]  # the values the column holds, for its format
        if fresh:
            v.measure = "ordinal" if series.cat.ordered else "nominal"
    elif pd.api.types.is_datetime64_any_dtype(dtype):
        if getattr(dtype, "tz", None) is not None:
            series = series.dt.tz_localize(None)
        ns = series.to_numpy(dtype="datetime64[ns]").view(np.int64)
        whole = False  # whether the times are known to be whole seconds
        if v.print_format is None or format_type(v.print_format) not in DATE_FORMATS:
            v.print_format = v.write_format = _date_format(ns)
            whole = v.print_format != "DATETIME23.2"
        values = Doubles(len(ns), lambda a, b: seconds_of_ns(ns[a:b], whole_seconds=whole))
    elif pd.api.types.is_timedelta64_dtype(dtype):
        values = seconds_of_ns(series.to_numpy(dtype="timedelta64[ns]").view(np.int64), epoch=0)
        if format_type(v.print_format) not in ("TIME", "DTIME", "MTIME"):
            v.print_format = v.write_format = _time_format(values)
    elif numbers is not None:
        # Missing integers are NaN, put in as the values are written.
        values = numbers if present is None else Doubles(
            len(numbers), lambda a, b: np.where(present[a:b], numbers[a:b], np.nan))
    elif wants_string and is_int:  # integers beyond a double's, as text
        values = series.astype(object).where(series.notna(), None).map(
            lambda x: None if x is None else str(x)).to_numpy(dtype=object)
    elif wants_string:
        values = series.to_numpy(dtype=object)
        if pd.api.types.is_string_dtype(dtype) and not pd.api.types.is_object_dtype(dtype):
            values = np.where(pd.isna(values), None, values)
    elif dtype == np.float64 or dtype == np.bool_:
        values = series.to_numpy()  # a view, where the column lies in a block of columns
    else:
        values = series.to_numpy(dtype=np.float64, na_value=np.nan)
    if wants_string:
        if fresh:  # widened to its texts by frame_dictionary
            v.width, v.print_format, v.write_format = 1, "A1", "A1"
    elif v.print_format is None:
        v.print_format = v.write_format = (
            "F1.0" if pd.api.types.is_bool_dtype(dtype)
            else _number_format(numbers, False) if is_cat
            else "F8.2" if present is not None and not present.any()
            else _number_format(numbers, True) if numbers is not None
            else _number_format(values))
    return v, values, texts


def _missing_text(v, texts):
    """Missing texts (None) are written blank, and the blank text declared
    a missing value of the variable, so that they read back as None."""
    if not len(texts.codes) or texts.codes.min() >= 0 or "" in v.missing_values:
        return
    if len(v.missing_values) >= 3:
        warnings.warn(f"vexaio: the missing texts of {v.name!r} are written as empty texts: the "
                      "variable has no room for another missing value", stacklevel=4)
        return
    if (texts.unique == "").any():
        warnings.warn(f"vexaio: {v.name!r} holds both empty and missing texts; both read back "
                      "as missing", stacklevel=4)
    v.missing_values = (*v.missing_values, "")


def _restore_codes(pd, values, codes, index):
    """Puts the user-missing codes of a read back where the values are still
    missing, matching rows by label."""
    if codes is None or not index.is_unique:
        return values
    values = np.asarray(values)
    aligned = codes.reindex(index).to_numpy()
    if values.dtype == object:
        put = pd.isna(values) & pd.notna(aligned)
    else:
        aligned = aligned.astype(np.float64)
        put = np.isnan(values) & ~np.isnan(aligned)
    if put.any():
        values = values.copy()
        values[put] = aligned[put]
    return values


def write_dataframe(df: "pandas.DataFrame", path: PathLike, compression: str = "bytecode",
                    labels: Optional[dict] = None, dictionary: Optional[Dictionary] = None,
                    password: Optional[Union[str, bytes]] = None, index: Optional[bool] = None,
                    names: str = "repair", big_integers: str = "raise") -> None:
    """Writes a DataFrame as a new file, written beside the target and renamed
    over it, so that a failure leaves any existing file as it was.

    Each column's variable comes from `dictionary` (a Dictionary; by default
    the one in df.attrs from read_dataframe) where it still fits the column,
    else from the column: numbers and booleans become numeric variables with
    an F format, datetime64 a date format, timedelta64 a TIME format, texts
    string variables as wide as their longest value (missing texts are
    written blank, and the blank declared missing), categoricals numeric
    codes with value labels; datetimes with a time zone are written as their
    wall-clock time. A column whose dtype the file's types would not give
    back (int64, Int64, bool, boolean, category, datetimes with a time zone,
    timedelta64, ...) records it in the variable attribute "vexaio.dtype",
    and read_dataframe restores it.

    index: None writes the index as leading columns unless it is unnamed
    and of integers (row numbers); True always, False never. Its columns
    record their level in the attribute "vexaio.index".
    names: "repair" makes a column name that the file cannot hold valid
    (as the vexa tool does with a CSV header), with a warning; "strict"
    raises ValueError naming the rule the name breaks.
    big_integers: an integer beyond what a double holds exactly (past
    2**53) raises ValueError naming the column and row ("raise"), or is
    stored rounded ("round"), or its column is stored as text ("text").
    labels maps column names to {value: label} to add. compression is
    "none", "bytecode" or "zlib"; with a password the file is written
    protected (and byte-code compressed, not zlib). Warnings name the
    column whose labels are cut or whose dictionary entry was lost to a
    renamed column."""
    out, columns = frame_dictionary(df, compression, labels, dictionary, index, names, big_integers,
                                    threads=2)
    write(path, out, columns, password=password)


def _with_index(pd, df, index):
    """The frame with the index levels to write as leading columns, and
    their names."""
    if index is False:
        return df, []
    idx = df.index
    plain = all(n is None for n in idx.names) and pd.api.types.is_integer_dtype(idx.dtype)
    if index is None and plain:
        return df, []
    levels = [n if n is not None else ("index" if idx.nlevels == 1 else f"level_{i}")
              for i, n in enumerate(idx.names)]
    clash = [n for n in levels if n in df.columns]
    if clash:
        raise ValueError(f"vexaio: index levels {clash} are also columns; pass index=False or "
                         "rename them")
    frame = df.reset_index()
    frame.columns = levels + list(df.columns)
    frame.attrs = df.attrs
    return frame, levels


def _lost_to_renaming(known, columns):
    """A warning for dictionary entries with labels or missing values whose
    column is gone while new columns came, as a rename leaves them."""
    lost = [n for n, v in known.items() if n not in columns
            and (v.label or v.value_labels or v.missing_values or v.missing_range)]
    new = [c for c in columns if c not in known]
    if lost and new:
        warnings.warn(f"vexaio: the frame's dictionary describes {lost} (labels or missing "
                      f"values), columns the frame no longer has, while {new} are new: a renamed "
                      "column loses its dictionary entry; rename the Variable in "
                      "df.attrs['vexaio'] too", stacklevel=4)


def frame_dictionary(df, compression="bytecode", labels=None, dictionary=None, index=None,
                     names="repair", big_integers="raise", threads=1):
    """The Dictionary that write_dataframe writes a frame with, and the
    columns of values it writes, by variable name; the columns prepared by
    up to `threads` threads."""
    pd = _pandas()
    if dictionary is None:
        dictionary = df.attrs.get(DICTIONARY_ATTR)
    known = {v.name: v for v in dictionary.variables} if dictionary is not None else {}
    missing = df.attrs.get(MISSING_ATTR) or {}
    if not df.columns.is_unique:
        raise ValueError("vexaio: the frame's column names repeat")
    unknown = set(labels or {}) - set(df.columns)
    if unknown:
        raise KeyError(f"vexaio: labels for columns the frame does not have: {sorted(unknown)}")
    _lost_to_renaming(known, list(df.columns))
    rows = df.index
    df, levels = _with_index(pd, df, index)

    def prepare(column, series):
        v, values, texts = _column(pd, column, series, known.get(column), big_integers)
        restored = _restore_codes(pd, values, missing.get(column), rows)
        values = texts if texts is not None and restored is values else restored
        if v.is_string and not isinstance(values, Texts):
            values = Texts(*factorize_texts(values))
        return v, values

    # The columns are prepared by two threads when there are rows enough
    # to pay for them: NumPy and pandas let go of the interpreter in their
    # loops over the values. A failure is that of the first failing column.
    pairs = list(df.items())
    if threads > 1 and len(df) * len(pairs) >= PARALLEL_VALUES and len(pairs) > 1:
        with concurrent.futures.ThreadPoolExecutor(threads, "vexaio-prepare") as pool:
            prepared = list(pool.map(lambda p: prepare(*p), pairs))
    else:
        prepared = [prepare(*p) for p in pairs]
    variables, columns = [], {}
    for j, ((column, _), name, (v, values)) in enumerate(
            zip(pairs, variable_names(df.columns, names), prepared)):
        v.name = name
        v.value_labels.update((labels or {}).get(column, {}))
        if j < len(levels):
            v.attributes[INDEX_ATTR] = str(j)
        variables.append(v)
        if v.is_string:
            _fit_texts(v, values, column, rows)
            _missing_text(v, values)
        columns[name] = values
    weight = dictionary.weight if dictionary is not None else None
    out = Dictionary(
        variables=variables, compression=compression,
        file_label=dictionary.file_label if dictionary is not None else "",
        documents=list(dictionary.documents) if dictionary is not None else [],
        weight=weight if any(v.name == weight and not v.is_string for v in variables) else None)
    return out, columns
