"""DataFrames over read() and write(): user-missing values as NaN with their
codes kept, dates as datetime64, value labels as categoricals on request, and
the dictionary of a read kept in the frame's attrs so that writing the frame
back keeps it. pandas is imported on first use."""
import copy
import warnings

import numpy as np

from . import _cases
from ._capi import ENCODING
from ._dictionary import DATE_FORMATS, Dictionary, Variable, format_type
from ._files import _Reader, columns_of, write

# Date values count seconds from 14 October 1582; datetime64 from 1970.
EPOCH_OFFSET = 12219379200.0
# The frame's attrs: the Dictionary the frame was read with, and per column a
# Series of the user-missing codes that became NaN, indexed by row label.
DICTIONARY_ATTR = "vexaio"
MISSING_ATTR = "vexaio_missing"
# datetime64[ns] covers about 292 years either side of 1970.
_NS_LIMIT_SECONDS = 9.2e9


class MissingCodes(dict):
    """The user-missing codes of a frame by column. Compared by identity:
    pandas compares the attrs of frames it concatenates, and Series of
    different rows do not compare."""
    __eq__ = object.__eq__
    __ne__ = object.__ne__
    __hash__ = None


def _pandas():
    try:
        import pandas
    except ImportError as e:
        raise ImportError("vexaio: read_dataframe and write_dataframe need pandas") from e
    return pandas


def _user_missing(values, v):
    """A mask of the values that the variable declares missing."""
    mask = np.isin(values, list(v.missing_values)) if v.missing_values else np.zeros(len(values), bool)
    if v.missing_range is not None:
        low, high = v.missing_range
        with np.errstate(invalid="ignore"):
            mask |= (values >= low) & (values <= high)
    return mask


def _datetimes(seconds, name):
    """datetime64[ns] of date values, or None (with a warning) when one lies
    beyond what datetime64[ns] can hold."""
    since_1970 = seconds - EPOCH_OFFSET
    nan = np.isnan(since_1970)
    if np.any(np.abs(since_1970[~nan]) > _NS_LIMIT_SECONDS):
        warnings.warn(f"vexaio: {name} holds dates outside 1678-2261; kept as seconds since 1582")
        return None
    micros = np.round(np.where(nan, 0.0, since_1970) * 1e6).astype(np.int64)
    return np.where(nan, np.iinfo(np.int64).min, micros * 1000).view("datetime64[ns]")


def _categorical(pd, values, v):
    """The values as a categorical of their labels (values without a label
    stand for themselves), or None when labels repeat."""
    keys = sorted(v.value_labels)
    named = [v.value_labels[k] for k in keys]
    present = pd.unique(values[pd.notna(values)])
    extras = sorted(set(present.tolist()) - set(keys))
    categories = named + extras
    if len(set(categories)) != len(categories):
        return None
    codes = pd.Index(keys + extras).get_indexer(values)
    return pd.Categorical.from_codes(codes, categories=pd.Index(categories, dtype=object),
                                     ordered=v.measure == "ordinal")


def read_dataframe(path, labels=False, dates=True, password=None):
    """A DataFrame of a file's cases. User-missing values become NaN (None in
    string columns); df.attrs["vexaio_missing"][column] keeps their codes by
    row label. With dates, variables of a date format become datetime64;
    with labels, variables with value labels become categoricals of the
    labels. df.attrs["vexaio"] holds the Dictionary. A protected file needs
    its password."""
    _pandas()
    with _Reader(path, password) as r:
        raw = r.all_rows()
    return frame_of(raw, r.dictionary, r.layout, labels, dates)


def frame_of(raw, d, layout, labels=False, dates=True, first=0):
    """The DataFrame of an (n, case_size) array of cases as read_dataframe
    makes it, its rows labelled from `first` on."""
    pd = _pandas()
    columns = columns_of(raw, d, layout, factorize=lambda keys: _factorize_pandas(pd, keys))
    missing = {}
    for v in d.variables:
        values = columns[v.name]
        if v.missing_values or v.missing_range is not None:
            mask = _user_missing(values, v)
            if mask.any():
                missing[v.name] = pd.Series(values[mask], index=np.flatnonzero(mask) + first)
                values[mask] = None if v.is_string else np.nan
        if dates and v.is_date:
            stamps = _datetimes(values, v.name)
            values = values if stamps is None else stamps
        if labels and v.value_labels:
            cat = _categorical(pd, values, v)
            values = values if cat is None else cat
        columns[v.name] = values
    # Without copying, each column stays a view of the buffer of cases.
    df = pd.DataFrame(columns, columns=d.names, copy=False,
                      index=pd.RangeIndex(first, first + raw.shape[0]))
    df.attrs[DICTIONARY_ATTR] = d
    df.attrs[MISSING_ATTR] = MissingCodes(missing)
    return df


def _factorize_pandas(pd, keys):
    codes, unique = pd.factorize(keys)
    return codes, _cases.first_rows(codes, len(unique))


def _number_format(x):
    finite = x[np.isfinite(x)]
    if finite.size == 0:
        return "F8.2"
    digits = len(str(int(np.max(np.abs(finite))))) + int(finite.min() < 0)
    if np.all(finite == np.round(finite)):
        return f"F{min(digits, 40)}.0"
    return f"F{min(max(digits + 3, 8), 40)}.2"


def _date_format(seconds):
    finite = seconds[np.isfinite(seconds)]
    if np.all(finite % 86400 == 0):
        return "DATE11"
    return "DATETIME20" if np.all(finite == np.round(finite)) else "DATETIME23.2"


def _is_number(x):
    return isinstance(x, (int, float, np.number)) and not isinstance(x, (bool, np.bool_))


def _category_values(series, v, fresh):
    """The values and value labels that a categorical column writes: labels
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
    out = np.array(values + [fill], dtype=object if v.is_string else np.float64)
    return out[series.cat.codes.to_numpy()], value_labels


def _column(pd, name, series, base):
    """The variable and the values that a column writes. A variable of the
    frame's dictionary is kept where it still fits the column."""
    dtype = series.dtype
    string_like = pd.api.types.is_object_dtype(dtype) or pd.api.types.is_string_dtype(dtype)
    is_cat = isinstance(dtype, pd.CategoricalDtype)
    if is_cat:
        wants_string = base is not None and base.is_string
    elif string_like:
        kind = pd.api.types.infer_dtype(series, skipna=True)
        if kind in ("string", "empty"):
            wants_string = True
        elif kind in ("integer", "floating", "mixed-integer-float", "decimal"):
            wants_string, series = False, series.astype(np.float64)
        else:
            raise TypeError(f"vexaio: column {name!r} holds {kind} values, not texts or numbers")
    elif ((pd.api.types.is_numeric_dtype(dtype) and not pd.api.types.is_complex_dtype(dtype))
          or pd.api.types.is_bool_dtype(dtype) or pd.api.types.is_datetime64_any_dtype(dtype)):
        wants_string = False
    else:
        raise TypeError(f"vexaio: column {name!r} of dtype {dtype} cannot be written")
    fresh = base is None or base.is_string != wants_string
    v = Variable(name=name, measure="nominal" if wants_string else "scale") if fresh else copy.deepcopy(base)
    if is_cat:
        values, v.value_labels = _category_values(series, v, fresh)
        if fresh:
            v.measure = "ordinal" if series.cat.ordered else "nominal"
    elif pd.api.types.is_datetime64_any_dtype(dtype):
        if getattr(dtype, "tz", None) is not None:
            series = series.dt.tz_localize(None)
        ns = series.to_numpy(dtype="datetime64[ns]").view(np.int64)
        values = np.where(ns == np.iinfo(np.int64).min, np.nan, ns / 1e9 + EPOCH_OFFSET)
        if v.print_format is None or format_type(v.print_format) not in DATE_FORMATS:
            v.print_format = v.write_format = _date_format(values)
    elif wants_string:
        values = series.to_numpy(dtype=object)
    else:
        values = series.to_numpy(dtype=np.float64, na_value=np.nan)
    if wants_string:
        distinct = pd.unique(values[pd.notna(values)])
        width = max([1] + [len(x.encode(ENCODING)) for x in distinct.tolist()])
        if fresh or width > v.width:
            v.width = max(width, 0 if fresh else v.width)
            v.print_format = v.write_format = f"A{v.width}"
    elif v.print_format is None:
        v.print_format = v.write_format = "F1.0" if pd.api.types.is_bool_dtype(dtype) else _number_format(values)
    return v, values


def _restore_codes(pd, values, codes, index):
    """Puts the user-missing codes of a read back where the values are still
    missing, matching rows by label."""
    if codes is None or not index.is_unique:
        return values
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


def write_dataframe(df, path, compression="bytecode", labels=None, dictionary=None,
                    password=None):
    """Writes a DataFrame as a new file, written beside the target and renamed
    over it. Each column's variable comes from `dictionary` (a Dictionary; by
    default the one in df.attrs from read_dataframe) where it still fits the
    column, else from the column: numbers (and booleans) become numeric
    variables with an F format, datetime64 a date format, texts string
    variables as wide as their longest value, categoricals numeric codes with
    value labels; datetimes with a time zone are written as their wall-clock
    time, for a file holds none. `labels` maps column names to {value: label}
    to add. compression is "none", "bytecode" or "zlib"; with a password the
    file is written protected (and byte-code compressed, not zlib)."""
    write(path, *frame_dictionary(df, compression, labels, dictionary), password=password)


def frame_dictionary(df, compression="bytecode", labels=None, dictionary=None):
    """The Dictionary that write_dataframe writes a frame with, and the
    columns of values it writes, by name."""
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
    variables, columns = [], {}
    for name in df.columns:
        if not isinstance(name, str):
            raise TypeError(f"vexaio: column name {name!r} is not a text")
        v, values = _column(pd, name, df[name], known.get(name))
        v.value_labels.update((labels or {}).get(name, {}))
        variables.append(v)
        columns[name] = _restore_codes(pd, values, missing.get(name), df.index)
    weight = dictionary.weight if dictionary is not None else None
    out = Dictionary(
        variables=variables, compression=compression,
        file_label=dictionary.file_label if dictionary is not None else "",
        documents=list(dictionary.documents) if dictionary is not None else [],
        weight=weight if any(v.name == weight and not v.is_string for v in variables) else None)
    return out, columns
