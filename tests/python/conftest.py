"""Fixtures for the Python module's tests: the vexa tool (VEXA_TOOL), the
example data set, written as a system file by the tool, and the damage that
leaves a file's case count unrecorded."""
import os
import pathlib
import struct
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def tool():
    path = os.environ.get("VEXA_TOOL")
    if not path:
        pytest.skip("VEXA_TOOL names no vexa tool")
    return lambda *args: subprocess.run([path, *map(str, args)], check=True,
                                        capture_output=True, text=True).stdout


@pytest.fixture(scope="session")
def survey(tool, tmp_path_factory):
    path = tmp_path_factory.mktemp("survey") / "survey.vexa"
    tool("import", ROOT / "examples/survey.csv", path, "--dict", ROOT / "examples/survey.json")
    return path


@pytest.fixture(scope="session")
def uncounted():
    """Leaves a file's case count unrecorded (or another count), in the
    header and the count record."""
    def uncount(path, count=-1):
        data = bytearray(path.read_bytes())
        data[80:84] = struct.pack("<i", count)
        at = data.find(struct.pack("<4i", 7, 16, 8, 2))
        if at >= 0:
            data[at + 24:at + 32] = struct.pack("<q", count)
        path.write_bytes(data)
    return uncount
