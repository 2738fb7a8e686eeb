"""The C library through ctypes: loading it, the prototypes of the calls this
package makes, and the exception that carries a failed call's result code and
the library's own sentence about it."""
import ctypes
import ctypes.util
import errno
import locale
import os

from . import _installed

c_int, c_double, c_char_p, c_void_p = ctypes.c_int, ctypes.c_double, ctypes.c_char_p, ctypes.c_void_p
P = ctypes.POINTER
_H, _NAME = c_int, c_char_p  # a file handle, a variable name


class TextGroup(ctypes.Structure):
    """A string column read as codes of its distinct texts (vexaGroupedColumnsIn)."""
    _fields_ = [("texts", c_void_p), ("maxTexts", c_int), ("count", c_int), ("plain", c_void_p)]


# name: (result type, argument types)
_PROTOTYPES = {
    "vexaGetLibraryVersion": (c_int, [P(c_int), P(c_int), P(c_int)]),
    "vexaResultText": (c_char_p, [c_int]),
    "vexaGetLastErrorDetail": (c_int, [c_char_p, c_int]),
    "vexaSetInterfaceEncoding": (c_int, [c_int]),
    "vexaGetInterfaceEncoding": (c_int, []),
    "vexaSysmisVal": (c_double, []),
    "vexaValidateVarname": (c_int, [_NAME]),
    "vexaOpenReadU8": (c_int, [c_char_p, P(c_int)]),
    "vexaOpenWriteU8": (c_int, [c_char_p, P(c_int)]),
    "vexaOpenReadU8Ex": (c_int, [c_char_p, c_char_p, P(c_int)]),
    "vexaOpenWriteU8Ex": (c_int, [c_char_p, c_char_p, P(c_int)]),
    "vexaCloseRead": (c_int, [_H]),
    "vexaCloseWrite": (c_int, [_H]),
    "vexaAbandonFile": (c_int, [_H]),
    "vexaCommitHeader": (c_int, [_H]),
    "vexaSetCompression": (c_int, [_H, c_int]),
    "vexaGetCompression": (c_int, [_H, P(c_int)]),
    "vexaGetNumberofCases": (c_int, [_H, P(c_int)]),
    "vexaGetCaseSize": (c_int, [_H, P(c_int)]),
    "vexaWholeCaseIn": (c_int, [_H, c_void_p]),
    "vexaWholeCasesIn": (c_int, [_H, c_void_p, c_int, P(c_int)]),
    "vexaWholeCasesInEx": (c_int, [_H, c_void_p, c_int, c_int, P(c_int)]),
    "vexaColumnsIn": (c_int, [_H, c_int, P(c_double), P(c_void_p), c_int, c_int, P(c_int)]),
    "vexaGroupedColumnsIn": (c_int, [_H, c_int, P(c_double), P(c_void_p), P(TextGroup), c_int, c_int,
                                     P(c_int)]),
    "vexaWholeCaseOut": (c_int, [_H, c_void_p]),
    "vexaWholeCasesOut": (c_int, [_H, c_void_p, c_int, P(c_int)]),
    "vexaColumnsOut": (c_int, [_H, c_int, c_void_p, c_void_p, c_int, P(c_int)]),
    "vexaSeekNextCase": (c_int, [_H, c_int]),
    "vexaGetCasePosition": (c_int, [_H, P(ctypes.c_longlong)]),
    "vexaSeekCasePosition": (c_int, [_H, ctypes.c_longlong, ctypes.c_longlong]),
    "vexaGetVarNames": (c_int, [_H, P(c_int), P(P(c_char_p)), P(P(c_int))]),
    "vexaFreeVarNames": (c_int, [P(c_char_p), P(c_int), c_int]),
    "vexaSetVarName": (c_int, [_H, _NAME, c_int]),
    "vexaGetVarLabelLong": (c_int, [_H, _NAME, c_char_p, c_int, P(c_int)]),
    "vexaSetVarLabel": (c_int, [_H, _NAME, c_char_p]),
    "vexaGetVarPrintFormat": (c_int, [_H, _NAME, P(c_int), P(c_int), P(c_int)]),
    "vexaGetVarWriteFormat": (c_int, [_H, _NAME, P(c_int), P(c_int), P(c_int)]),
    "vexaSetVarPrintFormat": (c_int, [_H, _NAME, c_int, c_int, c_int]),
    "vexaSetVarWriteFormat": (c_int, [_H, _NAME, c_int, c_int, c_int]),
    "vexaGetVarMeasureLevel": (c_int, [_H, _NAME, P(c_int)]),
    "vexaSetVarMeasureLevel": (c_int, [_H, _NAME, c_int]),
    "vexaGetVarAlignment": (c_int, [_H, _NAME, P(c_int)]),
    "vexaSetVarAlignment": (c_int, [_H, _NAME, c_int]),
    "vexaGetVarColumnWidth": (c_int, [_H, _NAME, P(c_int)]),
    "vexaSetVarColumnWidth": (c_int, [_H, _NAME, c_int]),
    "vexaGetVarRole": (c_int, [_H, _NAME, P(c_int)]),
    "vexaSetVarRole": (c_int, [_H, _NAME, c_int]),
    "vexaGetVarNValueLabels": (c_int, [_H, _NAME, P(P(c_double)), P(P(c_char_p)), P(c_int)]),
    "vexaGetVarCValueLabels": (c_int, [_H, _NAME, P(P(c_char_p)), P(P(c_char_p)), P(c_int)]),
    "vexaFreeVarNValueLabels": (c_int, [P(c_double), P(c_char_p), c_int]),
    "vexaFreeVarCValueLabels": (c_int, [P(c_char_p), P(c_char_p), c_int]),
    "vexaSetVarNValueLabel": (c_int, [_H, _NAME, c_double, c_char_p]),
    "vexaSetVarCValueLabel": (c_int, [_H, _NAME, c_char_p, c_char_p]),
    "vexaGetVarNMissingValues": (c_int, [_H, _NAME, P(c_int), P(c_double), P(c_double), P(c_double)]),
    "vexaSetVarNMissingValues": (c_int, [_H, _NAME, c_int, c_double, c_double, c_double]),
    "vexaGetVarCMissingValues": (c_int, [_H, _NAME, P(c_int), c_char_p, c_char_p, c_char_p]),
    "vexaSetVarCMissingValues": (c_int, [_H, _NAME, c_int, c_char_p, c_char_p, c_char_p]),
    "vexaGetCaseWeightVar": (c_int, [_H, c_char_p]),
    "vexaSetCaseWeightVar": (c_int, [_H, _NAME]),
    "vexaGetIdString": (c_int, [_H, c_char_p]),
    "vexaSetIdString": (c_int, [_H, c_char_p]),
    "vexaGetDocuments": (c_int, [_H, c_char_p, c_int, P(c_int)]),
    "vexaSetDocuments": (c_int, [_H, c_char_p, c_int]),
    "vexaGetVarAttributes": (c_int, [_H, _NAME, P(P(c_char_p)), P(P(c_char_p)), P(c_int)]),
    "vexaSetVarAttributes": (c_int, [_H, _NAME, P(c_char_p), P(c_char_p), c_int]),
    "vexaFreeAttributes": (c_int, [P(c_char_p), P(c_char_p), c_int]),
}

# Result codes the binding tells apart.
E_FILE_OPEN, E_FILE_READ, E_BAD_PASSWORD, E_NO_PASSWORD = 1, 3, 80, 81
W_LABEL_TRUNCATED, W_VALUE_LABEL_TRUNCATED = -2, -4


class VexaError(Exception):
    """A library call failed. `code` is its result code, `name` the code's
    name (VEXA_E_...), `detail` the library's sentence about the failure.
    A file that cannot be opened raises a subclass that is also the OSError
    of the system's reason (FileNotFoundError, PermissionError, ...)."""

    def __init__(self, code: int, what: str, detail: str = "") -> None:
        self.code, self.what, self.detail = code, what, detail
        text = lib.vexaResultText(code).decode()
        self.name = text.split(":", 1)[0]
        super().__init__(f"{what} failed with {self.name} ({code}): {detail or text.split(': ', 1)[-1]}")

    def __reduce__(self):
        # Rebuilt from its parts, so that it crosses process boundaries.
        return type(self), (self.code, self.what, self.detail)


class _FileError(VexaError, OSError):
    """A file that cannot be opened: an OSError with the system's errno and
    reason, and a VexaError with the library's code and detail."""

    def __init__(self, err: int, path: str, code: int, what: str, detail: str = "") -> None:
        VexaError.__init__(self, code, what, detail)
        OSError.__init__(self, err, os.strerror(err), path)
        self.code, self.what, self.detail, self.name = code, what, detail, self.name

    def __reduce__(self):
        return type(self), (self.errno, self.filename, self.code, self.what, self.detail)

    def __str__(self) -> str:
        return f"{OSError.__str__(self)} ({self.what} failed with {self.name})"


class _FileNotFoundError(_FileError, FileNotFoundError):
    pass


class _PermissionError(_FileError, PermissionError):
    pass


class _IsADirectoryError(_FileError, IsADirectoryError):
    pass


class _NotADirectoryError(_FileError, NotADirectoryError):
    pass


class _OtherFileError(_FileError):
    pass


_FILE_ERRORS = {errno.ENOENT: _FileNotFoundError, errno.EACCES: _PermissionError,
                errno.EPERM: _PermissionError, errno.EISDIR: _IsADirectoryError,
                errno.ENOTDIR: _NotADirectoryError}


def _system_reason(path, writing):
    """The errno of why the system refuses the path, or None when it does
    not (the library refused the file for a reason of its own)."""
    if os.path.isdir(path):
        return errno.EISDIR
    try:
        if writing:
            folder = os.path.dirname(os.path.abspath(path))
            if not os.path.isdir(folder):
                return errno.ENOENT if not os.path.exists(folder) else errno.ENOTDIR
            if not os.access(folder, os.W_OK | os.X_OK) or (
                    os.path.exists(path) and not os.access(path, os.W_OK)):
                return errno.EACCES
        else:
            with open(path, "rb"):
                pass
    except OSError as e:
        return e.errno
    return None


def open_error(code, path, what, writing=False, password=None):
    """The exception for a failed open of `path`: an OSError subclass with
    the system's reason where the system refused the file, a plain word
    about a wrong or missing password, else a VexaError."""
    detail = last_detail()
    if code in (E_FILE_OPEN, E_FILE_READ):
        err = _system_reason(os.fsdecode(path), writing)
        if err is not None:
            return _FILE_ERRORS.get(err, _OtherFileError)(err, os.fsdecode(path), code, what, detail)
    if code == E_BAD_PASSWORD and password is not None and not writing:
        detail = ("the password is longer than the 10 bytes a password may have"
                  if len(password) > 10 else f"the password does not open {os.fsdecode(path)!r}")
    elif code == E_NO_PASSWORD:
        detail = f"{os.fsdecode(path)!r} is protected: it needs a password"
    return VexaError(code, what, detail)


def _load():
    """The library named by VEXAIO_LIBRARY, else the one installed beside
    this package, else whichever libvexaio the dynamic loader finds."""
    candidates = [os.environ.get("VEXAIO_LIBRARY")]
    if _installed.LIBRARY:
        candidates.append(os.path.join(os.path.dirname(__file__), _installed.LIBRARY))
    candidates.append(ctypes.util.find_library("vexaio"))
    errors = []
    for path in filter(None, candidates):
        try:
            return ctypes.CDLL(path)
        except OSError as e:
            errors.append(str(e))
    raise ImportError("vexaio: the library libvexaio.so was not found (set VEXAIO_LIBRARY "
                      "to its path): " + "; ".join(errors))


lib = _load()
for _name, (_res, _args) in _PROTOTYPES.items():
    _fn = getattr(lib, _name)
    _fn.restype, _fn.argtypes = _res, _args

# Texts cross the interface in UTF-8. The setting is process-wide and can
# change only while no file is open; should another user of the library in
# this process hold files open now, texts follow its setting.
lib.vexaSetInterfaceEncoding(1)
ENCODING = "utf-8" if lib.vexaGetInterfaceEncoding() == 1 else locale.getpreferredencoding(False)
SYSMIS = lib.vexaSysmisVal()


def last_detail():
    buf = ctypes.create_string_buffer(1024)
    lib.vexaGetLastErrorDetail(buf, len(buf))
    return buf.value.decode(ENCODING, "replace")


def check(code, what):
    """Raises VexaError for an error code; warnings (negative) pass."""
    if code > 0:
        raise VexaError(code, what, last_detail())
    return code


def encode(text):
    return None if text is None else text.encode(ENCODING)


def decode(raw):
    return raw.decode(ENCODING, "replace")


def path_bytes(path):
    """A file name for the U8 open calls."""
    return os.fsencode(path) if isinstance(path, (str, os.PathLike)) else bytes(path)
