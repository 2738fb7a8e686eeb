"""vexaio: system files (.vexa) from Python, over the C library libvexaio.

    import vexaio
    dictionary, columns = vexaio.read("survey.vexa")
    for chunk in vexaio.iter_chunks("big.vexa", rows=100_000): ...
    df = vexaio.read_dataframe("survey.vexa", labels=True)      # needs pandas
    vexaio.write_dataframe(df, "copy.vexa")

The library is the one named by the environment variable VEXAIO_LIBRARY,
else the one installed beside this package, else whichever libvexaio.so the
dynamic loader finds. Loading the package switches the library's process-wide
interface encoding to UTF-8. A failed library call raises VexaError; a file
that cannot be opened raises the OSError subclass of the system's reason
(FileNotFoundError, PermissionError, IsADirectoryError), which is also a
VexaError.
"""
import ctypes

from ._capi import VexaError, lib
from ._dictionary import Dictionary, Variable
from ._files import Data, iter_chunks, read, read_dictionary, write
from ._frame_writer import write_dataframe
from ._frames import read_dataframe

__version__ = "0.1.0"

__all__ = ["Data", "Dictionary", "Variable", "VexaError", "iter_chunks", "library_version",
           "read", "read_dataframe", "read_dictionary", "result_text", "write", "write_dataframe"]


def library_version() -> tuple:
    """(major, minor, patch) of the loaded library."""
    parts = [ctypes.c_int() for _ in range(3)]
    lib.vexaGetLibraryVersion(*map(ctypes.byref, parts))
    return tuple(p.value for p in parts)


def result_text(code: int) -> str:
    """The name and sentence of a result code, "VEXA_E_BAD_HANDLE: ..."."""
    return lib.vexaResultText(code).decode()
