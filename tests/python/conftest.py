"""Fixtures for the Python module's tests: the vexa tool (VEXA_TOOL) and the
example data set, written as a system file by the tool."""
import os
import pathlib
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
