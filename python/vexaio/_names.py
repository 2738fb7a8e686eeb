"""Variable names for DataFrame columns: a column name that the file cannot
hold is repaired as the vexa tool repairs the names of a CSV header, or
refused with the rule it breaks."""
import re
import warnings

from ._capi import ENCODING, encode, last_detail, lib

_MAX_BYTES = 64
_RESERVED = frozenset(("ALL", "AND", "BY", "EQ", "GE", "GT", "LE", "LT", "NE", "NOT", "OR",
                       "TO", "WITH"))


def _cut(name, limit):
    """The name cut to at most `limit` bytes on a whole character."""
    raw = name.encode(ENCODING)
    return raw[:limit].decode(ENCODING, "ignore") if len(raw) > limit else name


def repair(name, column):
    """A valid name for one column (counted from 1): blanks around it
    removed, every disallowed ASCII character replaced by "_", "v" put in
    front of a leading digit, "_", ".", "#" or "$", cut to 64 bytes, "_"
    appended to a reserved word; "v<column>" when nothing is left."""
    name = re.sub(r"[^A-Za-z0-9@#$_.\u0080-\U0010ffff]", "_", name.strip(" "))
    if not name:
        return f"v{column}"
    if name[0] in "0123456789_.#$":
        name = "v" + name
    name = _cut(name, _MAX_BYTES)
    if name.upper() in _RESERVED:
        name += "_"
    return name if lib.vexaValidateVarname(encode(name)) == 0 else f"v{column}"


def variable_names(columns, mode):
    """The variable names of the frame's column names, in order. mode
    "repair" repairs each name the file cannot hold (and makes names unique
    without regard to case by a suffix "_2", "_3", ...), with a warning
    for each; "strict" raises ValueError naming the rule a name breaks."""
    if mode not in ("repair", "strict"):
        raise ValueError(f"vexaio: names={mode!r} is neither 'repair' nor 'strict'")
    out, taken = [], set()
    for i, column in enumerate(columns):
        if not isinstance(column, str):
            if mode == "strict":
                raise TypeError(f"vexaio: column name {column!r} is not a text")
            column = str(column)
        name = column
        if lib.vexaValidateVarname(encode(column)) != 0 or column != column.strip(" "):
            if mode == "strict":
                raise ValueError(f"vexaio: column {column!r} cannot be a variable name: "
                                 f"{last_detail() or 'blanks around it'}")
            name = repair(column, i + 1)
        if name.upper() in taken:
            if mode == "strict":
                raise ValueError(f"vexaio: column {column!r} repeats a name without regard to case")
            n = 2
            while (candidate := _cut(name, _MAX_BYTES - len(f"_{n}")) + f"_{n}").upper() in taken:
                n += 1
            name = candidate
        if name != column:
            warnings.warn(f"vexaio: column {column!r} is written as the variable {name!r}",
                          stacklevel=4)
        taken.add(name.upper())
        out.append(name)
    return out
