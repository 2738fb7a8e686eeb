"""The Python module against the C tool, round trips through files, damaged
files and failing writes."""
import datetime
import json
import os
import sys

import numpy as np
import pandas as pd
import pytest

import vexaio
from vexaio import _cases, _files


def test_a_read_written_back_keeps_dictionary_and_user_missing_codes(tool, survey, tmp_path):
    df = vexaio.read_dataframe(survey, labels=True)
    assert df["age"].isna().sum() > 0 and -99 in df.attrs["vexaio_missing"]["age"].values
    out = tmp_path / "copy.vexa"
    vexaio.write_dataframe(df, out)
    strip = lambda text: {k: v for k, v in json.loads(text).items() if k not in ("created", "time_stamp")}
    assert strip(tool("info", "--json", out)) == strip(tool("info", "--json", survey))
    assert tool("cat", out) == tool("cat", survey)


def test_dates_count_seconds_from_14_october_1582(survey):
    df = vexaio.read_dataframe(survey)
    seconds = vexaio.read(survey).columns["visit_date"]
    origin = datetime.datetime(1582, 10, 14)
    for stamp, value in zip(df["visit_date"], seconds):
        assert stamp.to_pydatetime() == origin + datetime.timedelta(seconds=value)
    assert vexaio.read_dataframe(survey, dates=False)["visit_date"].dtype == np.float64


def test_chunks_make_up_the_whole_file(tmp_path):
    n = 5000
    # User-missing values are read as they are; dates beyond datetime64 stay
    # seconds in a frame, with a warning.
    variables = [vexaio.Variable("x", missing_values=(99.0,)),
                 vexaio.Variable("s", width=8, missing_values=("v1",)), vexaio.Variable("y"),
                 vexaio.Variable("d", print_format="DATE11", write_format="DATE11")]
    rare = [f"v{i % 7}" if i != 4321 else "rare" for i in range(n)]  # a value a sample misses
    columns = {"x": np.arange(n, dtype=float), "s": np.array(rare, object),
               "y": np.where(np.arange(n) % 9 == 0, np.nan, 0.5),
               "d": np.where(np.arange(n) % 7 == 0, np.nan, 86400.0 * (np.arange(n) % 400))}
    path = tmp_path / "chunks.vexa"
    vexaio.write(path, vexaio.Dictionary(variables), columns)
    chunks = list(vexaio.iter_chunks(path, rows=1000 - 7))
    assert [len(c["x"]) for c in chunks] == [993] * 5 + [35]
    for name, whole in vexaio.read(path).columns.items():
        nan = whole.dtype != object
        assert np.array_equal(np.concatenate([c[name] for c in chunks]), whole, equal_nan=nan)
        assert np.array_equal(whole, columns[name], equal_nan=nan)
    with pytest.warns(UserWarning, match="d holds dates outside"):
        assert np.array_equal(vexaio.read_dataframe(path)["d"], columns["d"], equal_nan=True)


def test_equal_keys_of_different_strings_are_told_apart():
    texts = [b"abcdefghij%d" % (i % 300) for i in range(600)] + [b"x", b""]
    raw = np.frombuffer(b"".join(t.ljust(16) for t in texts), dtype=np.uint8).reshape(-1, 16).copy()
    layout = _cases.Layout([vexaio.Variable("s", width=16)])
    lump = lambda keys: (np.zeros(len(keys), dtype=np.intp), np.zeros(1, dtype=np.intp))
    assert list(_cases.string_columns(raw, layout, lump)[0]) == [t.decode() for t in texts]


def test_large_string_columns_read_right_and_let_go_of_their_texts():
    # Strings apart and side by side, of one and of several words, in rows
    # enough that the columns share one mapping of huge pages.
    n = 90_000
    variables = [vexaio.Variable("a", width=8), vexaio.Variable("x"),
                 vexaio.Variable("b", width=20), vexaio.Variable("c", width=3)]
    layout = _cases.Layout(variables)
    raw = np.zeros((n, layout.case_size), np.uint8)
    texts = {0: [f"a{i % 3}" for i in range(n)], 2: [f"{i}".rjust(20, "b") for i in range(n)],
             3: ["c" * (i % 4) for i in range(n)]}
    for i, values in texts.items():
        raw[:, layout.offsets[i]:layout.offsets[i] + layout.sizes[i]] = _cases.Texts(
            *_cases.factorize_texts(values)).rows(0, n, layout.sizes[i], variables[i].width, "")
    columns = _cases.string_columns(raw, layout)
    assert {i: list(c) for i, c in columns.items()} == texts
    first, view = columns[0][0], columns[0][5:9]
    held = sys.getrefcount(first)
    del columns
    assert sys.getrefcount(first) == held and list(view) == ["a2", "a0", "a1", "a2"]
    del view
    assert sys.getrefcount(first) == held - n // 3


@pytest.mark.parametrize("cut", [0, 100, 500])
def test_a_damaged_file_raises_its_code_and_detail(survey, tmp_path, cut):
    path = tmp_path / "damaged.vexa"
    path.write_bytes(survey.read_bytes()[:cut])
    with pytest.raises(vexaio.VexaError) as e:
        vexaio.read(path)
    assert e.value.code > 0 and e.value.name.startswith("VEXA_E_") and e.value.detail
    assert e.value.name in str(e.value)


@pytest.mark.parametrize("count", [2**31 - 1, 1, 2])  # beyond memory, short of the cases
def test_a_wrong_case_count_reads_the_cases_there_are(survey, tmp_path, count):
    data = bytearray(survey.read_bytes())
    data[80:84] = count.to_bytes(4, "little")  # the header's case count
    path = tmp_path / "count.vexa"
    path.write_bytes(data)
    pd.testing.assert_frame_equal(vexaio.read_dataframe(path), vexaio.read_dataframe(survey))


def fail_midway(path, password, bad=None):
    """Writes some cases, then raises, or hands over a column the library
    would read past (`bad`)."""
    with _files.writing(path, vexaio.Dictionary([vexaio.Variable("a")]), password) as put:
        put([np.zeros(70000)])
        if bad is not None:
            put([bad])
        raise KeyError("midway")


@pytest.mark.parametrize("password", [None, "pw"])
@pytest.mark.parametrize("write, error", [
    (lambda p, pw: vexaio.write_dataframe(pd.DataFrame({"z": [1 + 2j]}), p, password=pw), TypeError),
    (fail_midway, KeyError),
    (lambda p, pw: fail_midway(p, pw, np.zeros(9, np.float32)), ValueError),
    (lambda p, pw: fail_midway(p, pw, np.zeros(18)[::2]), ValueError),
])
def test_a_failed_write_leaves_the_existing_file(tmp_path, write, error, password):
    path = tmp_path / "kept.vexa"
    vexaio.write_dataframe(pd.DataFrame({"a": [1.0, 2.0]}), path, password=password)
    before = path.read_bytes()
    with pytest.raises(error):
        write(path, password)
    assert path.read_bytes() == before and os.listdir(tmp_path) == ["kept.vexa"]
