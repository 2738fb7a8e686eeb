"""The dictionary of a file as Python objects, read from a handle and defined
on a new file's handle: variables with their labels, value labels, missing
values, formats, measurement levels, alignments, display widths and roles,
and the file's label, documents, weight and compression."""
import ctypes
import re
import warnings
from dataclasses import dataclass, field, replace
from typing import Optional

from ._capi import W_LABEL_TRUNCATED, W_VALUE_LABEL_TRUNCATED, check, decode, encode, lib

MEASURES = ("unknown", "nominal", "ordinal", "scale", "flag", "typeless")
ALIGNMENTS = ("left", "right", "center")
ROLES = ("input", "target", "both", "none", "partition", "split", "frequency", "record-id")
# The compression codes of the header (VEXA_COMPRESSION_*); their names,
# like the other names here, by code.
COMPRESSION_NONE, COMPRESSION_BYTECODE, COMPRESSION_ZLIB = 0, 1, 2
COMPRESSIONS = ("none", "bytecode", "zlib")

# Format types by number; formats travel as text such as "F8.2" or "A20".
FORMAT_TYPES = {
    1: "A", 2: "AHEX", 3: "COMMA", 4: "DOLLAR", 5: "F", 6: "IB", 7: "PIBHEX", 8: "P", 9: "PIB",
    10: "PK", 11: "RB", 12: "RBHEX", 15: "Z", 16: "N", 17: "E", 20: "DATE", 21: "TIME",
    22: "DATETIME", 23: "ADATE", 24: "JDATE", 25: "DTIME", 26: "WKDAY", 27: "MONTH", 28: "MOYR",
    29: "QYR", 30: "WKYR", 31: "PCT", 32: "DOT", 33: "CCA", 34: "CCB", 35: "CCC", 36: "CCD",
    37: "CCE", 38: "EDATE", 39: "SDATE", 85: "MTIME", 86: "YMDHMS",
}
_FORMAT_NUMBERS = {name: number for number, name in FORMAT_TYPES.items()}
# Formats whose values are points in time: seconds since 14 October 1582.
DATE_FORMATS = frozenset(("DATE", "DATETIME", "ADATE", "JDATE", "MOYR", "QYR", "WKYR", "EDATE",
                          "SDATE", "YMDHMS"))
_SHOWS_DECIMALS = frozenset(("COMMA", "DOLLAR", "F", "Z", "N", "E", "PCT", "DOT", "CCA", "CCB",
                             "CCC", "CCD", "CCE"))


def format_text(ftype: int, decimals: int, width: int) -> str:
    """The text of a format, "F8.2"."""
    name = FORMAT_TYPES.get(ftype)
    if name is None:
        return f"T{ftype}_{width}.{decimals}"
    return f"{name}{width}.{decimals}" if name in _SHOWS_DECIMALS or decimals else f"{name}{width}"


def parse_format(text: str) -> tuple:
    """(type, decimals, width) of a format text; ValueError when it is none."""
    m = re.fullmatch(r"(?:T(\d+)_|([A-Za-z]+))(\d+)(?:\.(\d+))?", text.strip())
    if not m or (m.group(2) and m.group(2).upper() not in _FORMAT_NUMBERS):
        raise ValueError(f"{text!r} is not a format")
    ftype = int(m.group(1)) if m.group(1) else _FORMAT_NUMBERS[m.group(2).upper()]
    return ftype, int(m.group(4) or 0), int(m.group(3))


def format_type(text: Optional[str]) -> Optional[str]:
    """The type name of a format text ("DATE" for "DATE11"), or None."""
    return None if text is None else re.match(r"[A-Za-z]*", text).group(0).upper()


@dataclass
class Variable:
    """One variable. width is 0 for a numeric variable, else the string's
    width in bytes. Missing values are up to three discrete values, and for a
    numeric variable a range (low, high) beside at most one of them. The
    display properties left None take the library's defaults when written."""
    name: str
    width: int = 0
    label: Optional[str] = None
    value_labels: dict = field(default_factory=dict)
    missing_values: tuple = ()
    missing_range: Optional[tuple] = None
    print_format: Optional[str] = None
    write_format: Optional[str] = None
    measure: Optional[str] = None
    alignment: Optional[str] = None
    display_width: Optional[int] = None
    role: Optional[str] = None
    # Variable attributes: name -> text (a subscripted name, "tag[2]", for
    # each value of an attribute of several).
    attributes: dict = field(default_factory=dict)

    @property
    def is_string(self) -> bool:
        return self.width > 0

    @property
    def is_date(self) -> bool:
        return not self.is_string and format_type(self.print_format) in DATE_FORMATS

    def __repr__(self) -> str:
        kind = f"string {self.width}" if self.is_string else (self.print_format or "numeric")
        extras = [f"label={_short(self.label)}"] if self.label else []
        if self.value_labels:
            extras.append(f"{len(self.value_labels)} value labels")
        if self.missing_values or self.missing_range:
            extras.append("missing values")
        return f"<Variable {self.name!r} {kind}{''.join(', ' + e for e in extras)}>"


@dataclass
class Dictionary:
    """The variables in file order and the file-wide properties. documents
    are lines of at most 80 bytes; weight names the weight variable."""
    variables: list
    file_label: str = ""
    documents: list = field(default_factory=list)
    weight: Optional[str] = None
    compression: str = "bytecode"
    case_count: Optional[int] = None

    @property
    def names(self) -> list:
        return [v.name for v in self.variables]

    def __getitem__(self, name: str) -> Variable:
        for v in self.variables:
            if v.name == name:
                return v
        raise KeyError(name)

    def __repr__(self) -> str:
        names = self.names
        shown = ", ".join(names[:6]) + (f", ... ({len(names) - 6} more)" if len(names) > 6 else "")
        count = "" if self.case_count is None else f", {self.case_count} cases"
        label = f", label={_short(self.file_label)}" if self.file_label else ""
        return f"<Dictionary of {len(names)} variables [{shown}]{count}, {self.compression}{label}>"


def _short(text, limit=40):
    return repr(text if len(text) <= limit else text[:limit - 3] + "...")


def _number_of(names, value, what):
    """The code of a name such as "ordinal" among names."""
    if value not in names:
        raise ValueError(f"{what}: {value!r} is not one of {', '.join(names)}")
    return names.index(value)


def _int_call(fn, h, name, what):
    out = ctypes.c_int()
    check(fn(h, name, ctypes.byref(out)), what)
    return out.value


def _format(fn, h, name, what):
    t, d, w = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
    check(fn(h, name, ctypes.byref(t), ctypes.byref(d), ctypes.byref(w)), what)
    return format_text(t.value, d.value, w.value)


def _label(h, name, what):
    size = 1024
    while True:
        buf, length = ctypes.create_string_buffer(size), ctypes.c_int()
        if check(lib.vexaGetVarLabelLong(h, name, buf, size, ctypes.byref(length)), what) < 0:
            return None
        if length.value < size - 1:
            return decode(buf.value)
        size = length.value + 1


def _value_labels(h, name, is_string, what):
    values = ctypes.POINTER(ctypes.c_char_p if is_string else ctypes.c_double)()
    labels, count = ctypes.POINTER(ctypes.c_char_p)(), ctypes.c_int()
    get = lib.vexaGetVarCValueLabels if is_string else lib.vexaGetVarNValueLabels
    if check(get(h, name, ctypes.byref(values), ctypes.byref(labels), ctypes.byref(count)), what) < 0:
        return {}
    try:
        keys = [decode(values[i]).rstrip(" ") if is_string else values[i] for i in range(count.value)]
        return dict(zip(keys, (decode(labels[i]) for i in range(count.value))))
    finally:
        (lib.vexaFreeVarCValueLabels if is_string else lib.vexaFreeVarNValueLabels)(values, labels, count)


def _missing(h, name, is_string, what):
    code = ctypes.c_int()
    if is_string:
        bufs = [ctypes.create_string_buffer(9) for _ in range(3)]
        check(lib.vexaGetVarCMissingValues(h, name, ctypes.byref(code), *bufs), what)
        return tuple(decode(b.value).rstrip(" ") for b in bufs[:code.value]), None
    vals = [ctypes.c_double() for _ in range(3)]
    check(lib.vexaGetVarNMissingValues(h, name, ctypes.byref(code), *map(ctypes.byref, vals)), what)
    v = [x.value for x in vals]
    if code.value >= 0:
        return tuple(v[:code.value]), None
    return (tuple(v[2:]) if code.value == -3 else ()), (v[0], v[1])


def _attributes(h, name, what):
    """The variable's attributes, name -> text."""
    names, texts, count = ctypes.POINTER(ctypes.c_char_p)(), ctypes.POINTER(ctypes.c_char_p)(), ctypes.c_int()
    check(lib.vexaGetVarAttributes(h, name, ctypes.byref(names), ctypes.byref(texts), ctypes.byref(count)), what)
    if count.value <= 0:
        return {}
    try:
        return {decode(names[i]): decode(texts[i]) for i in range(count.value)}
    finally:
        lib.vexaFreeAttributes(names, texts, count)


def _variable(h, name, width):
    raw, what = encode(name), f"reading the dictionary entry of {name}"
    missing, missing_range = _missing(h, raw, width > 0, what)
    return Variable(
        name=name, width=width, label=_label(h, raw, what),
        value_labels=_value_labels(h, raw, width > 0, what),
        missing_values=missing, missing_range=missing_range,
        print_format=_format(lib.vexaGetVarPrintFormat, h, raw, what),
        write_format=_format(lib.vexaGetVarWriteFormat, h, raw, what),
        measure=MEASURES[_int_call(lib.vexaGetVarMeasureLevel, h, raw, what)],
        alignment=ALIGNMENTS[_int_call(lib.vexaGetVarAlignment, h, raw, what)],
        display_width=_int_call(lib.vexaGetVarColumnWidth, h, raw, what),
        role=ROLES[_int_call(lib.vexaGetVarRole, h, raw, what)],
        attributes=_attributes(h, raw, what))


class _Sketch(Variable):
    """A variable of which only the name, width and attributes were read:
    enough to number the variables and find the index columns of a read of
    some columns, whose frame keeps only the entries read whole."""


def complete(h: int, d: "Dictionary", names) -> "Dictionary":
    """d with the entries of the variables `names` read whole from handle h."""
    variables = [_variable(h, v.name, v.width) if isinstance(v, _Sketch) and v.name in names else v
                 for v in d.variables]
    return replace(d, variables=variables)


def without_sketches(d: "Dictionary") -> "Dictionary":
    """d with only the variables whose entries were read whole."""
    if not any(isinstance(v, _Sketch) for v in d.variables):
        return d
    return replace(d, variables=[v for v in d.variables if not isinstance(v, _Sketch)])


def read_dictionary(h: int, whole: bool = True) -> "Dictionary":
    """The dictionary of a read handle; without `whole`, sketches of the
    variables, for complete() to fill in those that a read needs (a file of
    thousands of variables takes ten calls of the library for each one
    read whole)."""
    n, names, types = ctypes.c_int(), ctypes.POINTER(ctypes.c_char_p)(), ctypes.POINTER(ctypes.c_int)()
    check(lib.vexaGetVarNames(h, ctypes.byref(n), ctypes.byref(names), ctypes.byref(types)),
          "reading the variable names")
    try:
        pairs = [(decode(names[i]), types[i]) for i in range(n.value)]
    finally:
        lib.vexaFreeVarNames(names, types, n.value)
    label = ctypes.create_string_buffer(1024)
    check(lib.vexaGetIdString(h, label), "reading the file label")
    weight = ctypes.create_string_buffer(1024)
    has_weight = check(lib.vexaGetCaseWeightVar(h, weight), "reading the weight") == 0
    lines = ctypes.c_int()
    check(lib.vexaGetDocuments(h, None, 0, ctypes.byref(lines)), "reading the documents")
    docs = ctypes.create_string_buffer(80 * lines.value + 1)
    check(lib.vexaGetDocuments(h, docs, len(docs), ctypes.byref(lines)), "reading the documents")
    comp, count = ctypes.c_int(), ctypes.c_int()
    check(lib.vexaGetCompression(h, ctypes.byref(comp)), "reading the compression")
    check(lib.vexaGetNumberofCases(h, ctypes.byref(count)), "reading the case count")
    return Dictionary(
        variables=[_variable(h, name, width) if whole else
                   _Sketch(name, width, attributes=_attributes(h, encode(name), "reading the attributes"))
                   for name, width in pairs],
        file_label=decode(label.value),
        documents=[decode(docs.raw[i * 80:(i + 1) * 80]).rstrip(" ") for i in range(lines.value)],
        weight=decode(weight.value) if has_weight else None,
        compression=COMPRESSIONS[comp.value if 0 <= comp.value < len(COMPRESSIONS)
                                 else COMPRESSION_BYTECODE],
        case_count=count.value if count.value >= 0 else None)


def _set_missing(h, name, v, what):
    vals = list(v.missing_values)
    if v.is_string:
        if v.missing_range is not None:
            raise ValueError(f"{v.name}: a string variable has no missing range")
        bufs = [encode(x) for x in vals] + [None] * (3 - len(vals))
        check(lib.vexaSetVarCMissingValues(h, name, len(vals), *bufs), what)
    elif v.missing_range is not None:
        if len(vals) > 1:
            raise ValueError(f"{v.name}: a missing range allows one more value at most")
        low, high = v.missing_range
        check(lib.vexaSetVarNMissingValues(h, name, -3 if vals else -2, low, high,
                                           vals[0] if vals else 0.0), what)
    elif vals:
        padded = [float(x) for x in vals] + [0.0] * (3 - len(vals))
        check(lib.vexaSetVarNMissingValues(h, name, len(vals), *padded), what)


def _define_variable(h, v):
    name, what = encode(v.name), f"defining the variable {v.name}"
    check(lib.vexaSetVarName(h, name, v.width), what)
    if v.label and check(lib.vexaSetVarLabel(h, name, encode(v.label)), what) == W_LABEL_TRUNCATED:
        warnings.warn(f"vexaio: the label of {v.name!r} is cut to the 256 bytes a variable label holds",
                      stacklevel=4)
    for fmt, setter in ((v.print_format, lib.vexaSetVarPrintFormat),
                        (v.write_format, lib.vexaSetVarWriteFormat)):
        if fmt is not None:
            check(setter(h, name, *parse_format(fmt)), what)
    for value, names, setter in ((v.measure, MEASURES, lib.vexaSetVarMeasureLevel),
                                 (v.alignment, ALIGNMENTS, lib.vexaSetVarAlignment),
                                 (v.role, ROLES, lib.vexaSetVarRole)):
        if value is not None:
            check(setter(h, name, _number_of(names, value, what)), what)
    if v.display_width is not None:
        check(lib.vexaSetVarColumnWidth(h, name, v.display_width), what)
    cut = []
    for value, label in v.value_labels.items():
        if v.is_string:
            code = check(lib.vexaSetVarCValueLabel(h, name, encode(value), encode(label)), what)
        else:
            code = check(lib.vexaSetVarNValueLabel(h, name, float(value), encode(label)), what)
        if code == W_VALUE_LABEL_TRUNCATED:
            cut.append(value)
    if cut:
        warnings.warn(f"vexaio: {len(cut)} value labels of {v.name!r} (of {cut[0]!r} first) are cut "
                      "to the 120 bytes a value label holds", stacklevel=4)
    _set_missing(h, name, v, what)
    if v.attributes:
        keys = [encode(k) for k in v.attributes]
        texts = [encode(str(t)) for t in v.attributes.values()]
        check(lib.vexaSetVarAttributes(h, name, (ctypes.c_char_p * len(keys))(*keys),
                                       (ctypes.c_char_p * len(texts))(*texts), len(keys)), what)


def define_dictionary(h: int, d: "Dictionary") -> None:
    """Defines the dictionary on a write handle before its header commit."""
    for v in d.variables:
        _define_variable(h, v)
    if d.weight:
        check(lib.vexaSetCaseWeightVar(h, encode(d.weight)), "setting the weight")
    if d.file_label:
        check(lib.vexaSetIdString(h, encode(d.file_label)), "setting the file label")
    if d.documents:
        lines = [encode(line) for line in d.documents]
        if any(len(line) > 80 for line in lines):
            raise ValueError("a document line is longer than 80 bytes")
        text = b"".join(line.ljust(80) for line in lines)
        check(lib.vexaSetDocuments(h, text, len(lines)), "setting the documents")
    check(lib.vexaSetCompression(h, _number_of(COMPRESSIONS, d.compression, "compression")),
          "setting the compression")
