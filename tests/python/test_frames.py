"""DataFrames through files: every dtype comes back as written, selections
and chunks equal a whole read, and what the file cannot hold is refused or
warned about by column."""
import contextlib
import dataclasses
import errno
import itertools
import threading

import numpy as np
import pandas as pd
import pytest

import vexaio

N = 1500  # more than one block of rows
rng = np.random.default_rng(7)
some = rng.random(N) < 0.1
FRAME = pd.DataFrame({
    "count": rng.integers(-5, 10**6, N),
    "big": np.where(some, 2**53 + 2, 9007199254740992 - rng.integers(0, 9, N)).astype(np.int64),
    "small": rng.integers(0, 255, N).astype(np.uint8),
    "nullable": pd.array(np.where(some, None, rng.integers(0, 9, N)), dtype="Int64"),
    "ratio": np.where(some, np.nan, rng.normal(size=N)),
    "half": rng.normal(size=N).astype(np.float32),
    "flag": rng.random(N) < 0.5,
    "maybe": pd.array(np.where(some, None, rng.random(N) < 0.5), dtype="boolean"),
    "short": np.where(some, None, rng.choice(["a", "ab", "çé"], N)).astype(object),
    "long": [("wörd %d " % (i % 37)) * (i % 50) + "." for i in range(N)],
    "text": pd.array(np.where(some, None, rng.choice(["x", "y"], N)), dtype="string"),
    "day": pd.to_datetime(rng.integers(0, 10**5, N), unit="D").where(~some),
    "when": pd.to_datetime("2024-03-01 10:20:30")
    + pd.to_timedelta(rng.integers(0, 10**9, N) * 10**6, unit="ns"),
    "zoned": pd.to_datetime(rng.integers(0, 10**9, N), unit="s").tz_localize("Europe/Paris",
                                                                               ambiguous="NaT",
                                                                               nonexistent="NaT"),
    "spell": pd.to_timedelta(rng.integers(-10**6, 10**12, N), unit="us"),
    "grade": pd.Categorical(rng.choice(["low", "mid", "high"], N),
                            categories=["low", "mid", "high"], ordered=True),
})


@pytest.mark.parametrize("compression, password", [
    ("none", None), ("bytecode", None), ("zlib", None), ("bytecode", "sésame")])
def test_every_dtype_comes_back_as_written(tmp_path, compression, password):
    path = tmp_path / "frame.vexa"
    df = FRAME.set_index(pd.Index(np.arange(N) * 3, name="id"))
    vexaio.write_dataframe(df, path, compression=compression, password=password)
    back = vexaio.read_dataframe(path, password=password)
    expected = df.assign(long=df["long"].str.rstrip(" "))
    pd.testing.assert_frame_equal(back, expected, check_categorical=False)
    d = vexaio.read_dictionary(path, password=password)
    assert d.compression == compression and len(repr(d)) < 150 and len(repr(d.variables)) < 60 * len(d.variables)
    # Other readers see the file's own types: numbers and texts.
    plain = vexaio.read(path, password=password).columns
    assert plain["count"].dtype == np.float64 and plain["id"].tolist() == list(np.arange(N) * 3.0)
    # A protected file opens with its password alone; a plain one drops any.
    for wrong, says in [("wrong", "the password does not open"), (None, "needs a password")]:
        with pytest.raises(vexaio.VexaError, match=says) if password else contextlib.nullcontext():
            vexaio.read_dataframe(path, password=wrong)
    # A time the file holds comes back exact; one it cannot tell from its
    # neighbours as the nearest time of fewest decimals that it holds.
    stamps = pd.to_datetime(["2024-03-01 10:20:30.000029", "2024-03-01 10:20:30.123456789"])
    vexaio.write_dataframe(pd.DataFrame({"t": stamps}), path)
    assert list(vexaio.read_dataframe(path)["t"]) == [stamps[0], pd.Timestamp("2024-03-01 10:20:30.123457")]


def test_columns_rows_and_chunks_equal_a_whole_read(tmp_path):
    path = tmp_path / "frame.vexa"
    vexaio.write_dataframe(FRAME, path)
    whole = vexaio.read_dataframe(path)
    columns = ["grade", "long", "count", "zoned"]
    cases = [(range(100, 700), slice(100, 700)), (slice(None, 10), slice(0, 10)),
             ((N - 5, N + 5), slice(N - 5, N)), ((-3, None), slice(N - 3, N))]
    for rows, expected in cases:
        part = vexaio.read_dataframe(path, columns=columns, rows=rows)
        pd.testing.assert_frame_equal(part, whole[columns][expected])
    # The frame keeps the whole dictionary entries of the columns read.
    assert part.attrs["vexaio"].variables == [v for v in whole.attrs["vexaio"].variables
                                              if v.name in columns]
    chunks = list(vexaio.read_dataframe(path, columns=columns, rows=(7, None), chunksize=400))
    assert [len(c) for c in chunks] == [400, 400, 400, 293]
    pd.testing.assert_frame_equal(pd.concat(chunks), whole[columns][7:])
    with pytest.raises(KeyError, match="nothing"):
        vexaio.read_dataframe(path, columns=["count", "nothing"])


def expect(warning=None, error=None, match=""):
    return warning, error, match


@pytest.mark.parametrize("frame, kwargs, warning, error, match", [
    (pd.DataFrame({"i": [2**53 + 1]}), {}, *expect(error=ValueError, match="'i'.*9007199254740993.*row 0")),
    (pd.DataFrame({"u": np.array([0, 2**64 - 1], np.uint64)}), {}, *expect(error=ValueError, match="row 1")),
    (pd.DataFrame({"n": pd.array([None, 2**60 + 1], dtype="Int64")}), {},
     *expect(error=ValueError, match="row 1")),
    (pd.DataFrame({"my col": [1], "2nd": [2], "ALL": [3], "x" * 70: [4], "A": [5], "a": [6]}), {},
     *expect(UserWarning, match="'2nd' is written as the variable 'v2nd'")),
    (pd.DataFrame({"my col": [1]}), {"names": "strict"}, *expect(error=ValueError, match="holds a character")),
    (pd.DataFrame({"s": ["x" * 40000]}), {}, *expect(error=ValueError, match="'s', row 0.*32,767")),
    (pd.DataFrame({"v": [1.0]}), {"labels": {"v": {1.0: "é" * 70}}}, *expect(UserWarning, match="'v'.*120 bytes")),
    (pd.DataFrame({"s": ["", None]}), {}, *expect(UserWarning, match="'s' holds both empty and missing")),
])
def test_what_the_file_cannot_hold_is_refused_or_warned(tmp_path, frame, kwargs, warning, error, match):
    path = tmp_path / "out.vexa"
    if error:
        with pytest.raises(error, match=match):
            vexaio.write_dataframe(frame, path, **kwargs)
        assert not path.exists()
    else:
        with pytest.warns(warning, match=match):
            vexaio.write_dataframe(frame, path, **kwargs)


def test_big_integers_go_rounded_or_as_text(tmp_path):
    path, df = tmp_path / "big.vexa", pd.DataFrame({"i": [2**53 + 1, -(2**62) - 1, 5]})
    vexaio.write_dataframe(df, path, big_integers="text")
    pd.testing.assert_frame_equal(vexaio.read_dataframe(path), df)
    vexaio.write_dataframe(df, path, big_integers="round")
    assert vexaio.read_dataframe(path)["i"].tolist() == [2**53, -(2**62), 5]


def test_renamed_columns_and_repeated_labels_are_named(tmp_path):
    path = tmp_path / "labelled.vexa"
    grade = vexaio.Variable("grade", value_labels={1.0: "same", 2.0: "same"}, label="Grade")
    vexaio.write(path, vexaio.Dictionary([grade]), {"grade": np.array([1.0, 2.0])})
    with pytest.raises(ValueError, match="'grade'.*'same'.*labels=False"):
        vexaio.read_dataframe(path, labels=True)
    df = vexaio.read_dataframe(path, labels=False)
    assert df["grade"].tolist() == [1.0, 2.0]
    with pytest.warns(UserWarning, match=r"\['grade'\].*\['score'\]"):
        vexaio.write_dataframe(df.rename(columns={"grade": "score"}), path)


def test_values_without_labels_join_the_categories(tmp_path):
    path = tmp_path / "labelled.vexa"
    grade = vexaio.Variable("grade", value_labels={1.0: "one", 2.0: "two"})
    vexaio.write(path, vexaio.Dictionary([grade]), {"grade": np.array([2, 1, 3, 1.5, np.nan, -7, 1])})
    back = vexaio.read_dataframe(path, labels=True)["grade"]
    assert list(back.cat.categories) == ["one", "two", -7.0, 1.5, 3.0]
    assert back.tolist()[:4] == ["two", "one", 3.0, 1.5] and back.isna().tolist()[4:] == [True, False, False]


def write_frame(path):
    vexaio.write_dataframe(FRAME[["count"]], path)


@pytest.mark.parametrize("call, where, error", [
    (vexaio.read_dataframe, "absent.vexa", FileNotFoundError),
    (lambda p: vexaio.read_dataframe(p, chunksize=10), "absent.vexa", FileNotFoundError),
    (vexaio.read_dataframe, ".", IsADirectoryError),
    (write_frame, ".", IsADirectoryError),
    (write_frame, "no/such.vexa", FileNotFoundError),
])
def test_file_failures_are_the_systems_errors(tmp_path, call, where, error):
    with pytest.raises(error) as e:
        call(tmp_path / where)
    assert isinstance(e.value, vexaio.VexaError) and e.value.errno in (errno.ENOENT, errno.EISDIR)


SMALL = pd.DataFrame({"a": [1.5, 2.5, 3.5], "k": ["x", "y", "z"], "n": [1, 2, 3]})


@pytest.mark.parametrize("frame, write, read, names, index", [
    (SMALL.set_index(["k", "n"]), {}, {}, ["k", "n", "a"], pd.MultiIndex.from_arrays(
        [["x", "y", "z"], [1, 2, 3]], names=["k", "n"])),
    (SMALL.rename_axis("row"), {}, {}, ["row", "a", "k", "n"], pd.Index([0, 1, 2], name="row")),
    (SMALL, {"index": True}, {}, ["index", "a", "k", "n"], pd.Index([0, 1, 2])),
    (SMALL.iloc[[2, 0]], {}, {}, ["a", "k", "n"], pd.RangeIndex(2)),  # row numbers: not written
    (SMALL.set_index("k"), {"index": False}, {}, ["a", "n"], pd.RangeIndex(3)),
    (SMALL, {}, {"index_col": "k"}, ["a", "k", "n"], pd.Index(["x", "y", "z"], name="k")),
    (SMALL.set_index("k"), {}, {"index_col": False}, ["k", "a", "n"], pd.RangeIndex(3)),
    (SMALL.set_index("n"), {}, {"columns": ["a"]}, ["n", "a", "k"], pd.Index([1, 2, 3], name="n")),
])
def test_the_index_is_written_and_read_as_pandas_users_expect(tmp_path, frame, write, read, names, index):
    path = tmp_path / "index.vexa"
    vexaio.write_dataframe(frame, path, **write)
    back = vexaio.read_dataframe(path, **read)
    assert vexaio.read_dictionary(path).names == names
    pd.testing.assert_index_equal(back.index, index)
    assert back["a"].tolist() == frame["a"].tolist()


@pytest.mark.parametrize("compression", ["none", "bytecode", "zlib"])
def test_blocks_threads_and_shared_texts_change_nothing(tmp_path, monkeypatch, uncounted, compression):
    # Numbers in one of pandas' blocks (written together), texts shared as
    # objects but for some equal copies, Nones and NaNs among them; written
    # and read in one block on one thread, then in small blocks on two.
    n = 5000
    rng = np.random.default_rng(3)
    numbers = rng.normal(size=(n, 12))
    numbers[rng.random((n, 12)) < 0.1] = np.nan
    df = pd.DataFrame(numbers, columns=[f"x{i}" for i in range(12)])
    del df["x7"]  # the block's columns now lie with a gap
    towns = np.array(["Genève", "Bern", "Zürich", None, np.nan], dtype=object)[rng.integers(0, 5, n)]
    towns[::10] = ["".join(["Be", "rn"]) for _ in towns[::10]]
    df.insert(5, "town", towns)
    df["when"] = pd.to_datetime(rng.integers(0, 10**9, n), unit="s")
    df["grade"] = pd.Categorical(rng.choice(["low", "high"], n), categories=["low", "high"])
    df["count"] = pd.array(np.where(rng.random(n) < 0.1, None, rng.integers(0, 9, n)), dtype="Int64")
    df["zoned"] = df["when"].dt.tz_localize("UTC")
    # Texts grouped as they come: few and then all different; alike in
    # every byte but not as a whole; one rare value like the others in
    # all but one byte, among a text in most rows.
    i = np.arange(n)
    df["late"] = np.where(i < 3000, np.array(["p", "q"], dtype=object)[i % 2], [f"n{k}" for k in i])
    df["alike"] = np.array(["ab", "ba", "aa", "bb"], dtype=object)[i % 4]
    df["rare"] = np.array(["xa", "ya", "xb"], dtype=object)[np.where(i == 4321, 2, i % 7 == 0)]
    expected = df.assign(town=df["town"].where(df["town"].notna(), None))
    one, many = tmp_path / "one.vexa", tmp_path / "many.vexa"
    vexaio.write_dataframe(df, one, compression=compression)
    scattered = [c for c in df.columns if c != "x3"][::-2]
    reads = [vexaio.read_dataframe(one), vexaio.read_dataframe(one, columns=scattered)]
    monkeypatch.setattr(vexaio._cases, "CALL_ROWS", 512)
    monkeypatch.setattr(vexaio._cases, "GROUP_ROWS", 1)
    monkeypatch.setattr(vexaio._cases, "BLOCK_BYTES", 1)  # blocks of 512 cases
    monkeypatch.setattr(vexaio._files, "WRITE_BLOCK_BYTES", 1)
    monkeypatch.setattr(vexaio._frames, "PARALLEL_ROWS", 1)
    monkeypatch.setattr(vexaio._frame_writer, "PARALLEL_VALUES", 1)
    monkeypatch.setattr(vexaio._cases, "_object_take", lambda: None)  # objects made by NumPy
    vexaio.write_dataframe(df, many, compression=compression)
    assert one.read_bytes()[:92] + one.read_bytes()[109:] == many.read_bytes()[:92] + many.read_bytes()[109:]
    reads += [vexaio.read_dataframe(many), vexaio.read_dataframe(many, columns=scattered),
              pd.concat(vexaio.read_dataframe(many, chunksize=1700))]
    # No memory for the objects of the whole read: they are made at its end.
    made, refused = vexaio._cases.object_rows, []

    def object_rows(count, n):
        if not refused:
            refused.append(n)
            raise MemoryError
        return made(count, n)
    monkeypatch.setattr(vexaio._cases, "object_rows", object_rows)
    reads.append(vexaio.read_dataframe(many))
    # Room for two texts a column: most fall back at once, "rare" only at
    # row 4321, its objects made up to there.
    monkeypatch.setattr(vexaio._cases, "GROUP_TEXTS", 2)
    reads.append(vexaio.read_dataframe(many))
    # Without a case count the cases come in chunks of CHUNK_ROWS.
    monkeypatch.setattr(vexaio._files, "CHUNK_ROWS", 1500)
    uncounted(many)
    assert vexaio.read_dictionary(many).case_count is None
    reads += [vexaio.read_dataframe(many), vexaio.read_dataframe(many, rows=(100, 4000)).reset_index(drop=True)]
    for back in reads[:-1]:
        pd.testing.assert_frame_equal(back, expected[list(back.columns)])
    pd.testing.assert_frame_equal(reads[-1], expected[100:4000].reset_index(drop=True))
    assert reads[0]._mgr.nblocks == 9  # the eleven numbers in one block, the others apart



def test_dtypes_made_block_by_block_are_those_of_the_whole_column(tmp_path, monkeypatch, uncounted):
    # Blocks of 4 values: NaT, NA and fractions each in one block only.
    monkeypatch.setattr(vexaio._dtypes, "BLOCK", 4)
    n, path = 14, tmp_path / "blocks.vexa"
    late = np.arange(n) >= 9
    df = pd.DataFrame({
        "day": pd.to_datetime(np.arange(n) * 86400, unit="s").where((np.arange(n) < 4) | (np.arange(n) > 7)),
        "when": pd.to_datetime(np.arange(n) * 10**9 + late * 123_000_000),
        "spell": pd.to_timedelta(np.arange(n) - 5, unit="s") + pd.to_timedelta(late * 250, unit="ms"),
        "count": np.arange(n) * 3 - 20,
        "huge": np.arange(n, dtype=np.uint64) + np.uint64(2**40),
        "some": pd.array(np.where(late, None, np.arange(n)), dtype="Int64"),
        "flag": np.arange(n) % 3 == 0,
        "maybe": pd.array(np.where(late, None, np.arange(n) % 2 == 0), dtype="boolean"),
        "town": np.array(["Bâle", "Bern"], dtype=object)[np.arange(n) % 2],
        "grade": pd.Categorical.from_codes(np.arange(n) % 3 - late, ["low", "mid", "high"], ordered=True),
    })
    vexaio.write_dataframe(df, path)
    # Converted as they are read, 5 cases a call; in parts of 6 cases
    # joined when the file does not count its cases.
    monkeypatch.setattr(vexaio._cases, "CALL_ROWS", 5)
    back = vexaio.read_dataframe(path)
    pd.testing.assert_frame_equal(back, df)
    assert back._mgr.nblocks == 9  # "day" and "when" rows of one block
    pd.testing.assert_frame_equal(pd.concat(vexaio.read_dataframe(path, chunksize=6)), df)
    # The objects of texts made as they are read take no room besides.
    made, rooms = vexaio._cases.object_rows, []
    monkeypatch.setattr(vexaio._cases, "GROUP_ROWS", 1)
    monkeypatch.setattr(vexaio._cases, "object_rows", lambda *a: rooms.append(a) or made(*a))
    pd.testing.assert_frame_equal(vexaio.read_dataframe(path), df)
    assert rooms == [(1, n)]
    monkeypatch.setattr(vexaio._files, "CHUNK_ROWS", 6)
    uncounted(path)
    pd.testing.assert_frame_equal(vexaio.read_dataframe(path), df)
    # Values a recorded dtype cannot hold, in a late block only: the whole
    # column comes back as the file's numbers, NaN where it was; NaN alone
    # makes an integer column nullable.
    d = vexaio.read_dictionary(path)
    numbers = np.where(np.arange(n) == 1, np.nan, np.arange(n, dtype=np.float64))
    for name, bad, dtype in [("count", 0.5, "float64"), ("huge", -1.0, "float64"), ("some", 2.5, "float64"),
                             ("flag", 2.0, "float64"), ("maybe", -1.0, "float64"), ("count", np.nan, "Int64"),
                             ("day", 0.0, "float64"), ("count", 2.0**63, "float64")]:
        values = numbers.copy() if name in ("some", "maybe") else np.arange(n, dtype=np.float64) % 2
        values += 12219379200 if name == "day" else 0
        values[n - 1] = bad
        vexaio.write(path, vexaio.Dictionary([v for v in d.variables if v.name == name]), {name: values})
        with pytest.warns(UserWarning, match="outside") if name == "day" else contextlib.nullcontext():
            back = vexaio.read_dataframe(path)[name]
        assert back.dtype == dtype, name
        assert np.array_equal(back.to_numpy(np.float64, na_value=np.nan), values, equal_nan=True), name
    # A value without a label (late, past the last key, between two keys):
    # one category more, the others' codes kept.
    grade = next(v for v in d.variables if v.name == "grade")
    low, mid, high = sorted(grade.value_labels)
    for values, extra, codes in [([low, mid, np.nan] * 4 + [high, 7.0], 7.0, [0, 1, -1] * 4 + [2, 3]),
                                 ([low, high + 1], high + 1, [0, 3]), ([low, mid + 0.5], mid + 0.5, [0, 3])]:
        vexaio.write(path, vexaio.Dictionary([grade]), {"grade": np.array(values)})
        back = vexaio.read_dataframe(path)["grade"]
        assert list(back.cat.categories) == ["low", "mid", "high", extra]
        assert back.cat.codes.tolist() == codes
    # Keys with a gap: a value in it has no label.
    gapped = dataclasses.replace(grade, value_labels={low: "low", high: "high"})
    vexaio.write(path, vexaio.Dictionary([gapped]), {"grade": np.array([low, mid, high])})
    assert vexaio.read_dataframe(path)["grade"].tolist() == ["low", mid, "high"]

def test_a_read_cut_short_names_the_first_case_missing_and_leaves_no_thread(tmp_path, monkeypatch):
    # Blocks of 512 cases, the next read by a thread while the last is grouped.
    n, path = 20000, tmp_path / "cut.vexa"
    df = pd.DataFrame({"x": np.arange(n) * 1.5,
                       "t": np.array(["ab", "cd", "ef"], dtype=object)[np.arange(n) % 3]})
    vexaio.write_dataframe(df, path, compression="none")
    data = path.read_bytes()
    path.write_bytes(data[:len(data) - 16 * (n - 12345) + 7])  # 16 bytes a case
    monkeypatch.setattr(vexaio._cases, "GROUP_ROWS", 1)
    monkeypatch.setattr(vexaio._cases, "BLOCK_BYTES", 1)
    with pytest.raises(vexaio.VexaError, match="reading case 12346 failed"):
        vexaio.read_dataframe(path)
    assert not [t for t in threading.enumerate() if t.name.startswith("vexaio")]

def test_a_read_takes_the_memory_of_frames_gone_never_of_a_view_kept(tmp_path, monkeypatch):
    for name, value in [("GROUP_ROWS", 1), ("_HUGE_PAGE", 4096), ("_spare", []), ("SPARE_COUNT", 3)]:
        monkeypatch.setattr(vexaio._cases, name, value)  # pages: the sizes of the cases alone
    spare, frames, paths = vexaio._cases._spare, [], []
    for k, n in enumerate([3000, 7000]):  # the one's memory too small, the other's too large
        frames.append(pd.DataFrame({"x": np.arange(n) + k / 2, "y": np.arange(n) * 2.0 - k,
                                    "t": np.array(["ab", "cd"], dtype=object)[np.arange(n) % 2 ^ k]}))
        paths.append(tmp_path / f"{k}.vexa")
        vexaio.write_dataframe(frames[-1], paths[-1])
    kept = vexaio.read_dataframe(paths[0])["y"].to_numpy()  # the frame gone, a view of it kept
    at = kept.ctypes.data
    assert spare and not any(0 <= at - np.frombuffer(m, np.uint8, 1).ctypes.data < len(m) for m in spare)
    pd.testing.assert_frame_equal(vexaio.read_dataframe(paths[1]), frames[1])
    assert (kept == frames[0]["y"]).all()
    del kept
    held = []
    for k in (0, 1, 1, 0, 0):  # in memory that held other values, or passing it over
        pd.testing.assert_frame_equal(vexaio.read_dataframe(paths[k]), frames[k])
        held.append({id(m) for m in spare})
        assert len(spare) == 3
    assert held[2] == held[1] and held[4] == held[3]  # a read as the last takes what it gave


late = np.arange(6000.0)
days = pd.Series(pd.to_datetime(np.arange(6000), unit="D"))


@pytest.mark.parametrize("column, fmt", [
    (late, "F4.0"), (-late, "F5.0"), (np.where(late == 5999, 0.5, late), "F8.2"),  # a late fraction
    (np.where(late < 5, np.inf, late), "F4.0"), (np.where(late < 5, -np.inf, late - 1e6), "F7.0"),
    (np.full(6000, np.nan), "F8.2"), (np.where(late % 2 == 0, np.nan, late), "F4.0"),
    (days, "DATE11"), (days.where(days.index % 3 > 0), "DATE11"),
    (days + pd.to_timedelta(np.where(late == 5999, 1, 0), unit="s"), "DATETIME20"),
    (days + pd.to_timedelta(np.where(late == 5999, 1, 0), unit="ms"), "DATETIME23.2"),
    (days - pd.Timedelta(days=30_000), "DATE11"),  # before 1970
    (days - pd.to_timedelta(np.where(late == 5999, 1, 0), unit="ns"), "DATETIME23.2"),
    (pd.Series(pd.to_datetime(np.arange(70_000) * 86400 + (np.arange(70_000) == 69_999), unit="s")),
     "DATETIME20"),  # a time of day past the first rows' blocks
    (pd.array(np.where(late % 7 == 0, None, -late), dtype="Int64"), "F5.0"),
    (pd.array(np.where(late % 7 == 0, None, late * 2**30), dtype="UInt64"), "F13.0"),
    (pd.array([None] * 10, dtype="Int64"), "F8.2"),
    (pd.Categorical.from_codes(np.arange(6000) % 2 - 1, [5.0, 2.5, 300_000.0]), "F1.0"),  # used only
])
def test_formats_follow_every_value(tmp_path, column, fmt):
    vexaio.write_dataframe(pd.DataFrame({"c": column}), tmp_path / "f.vexa")
    assert vexaio.read_dictionary(tmp_path / "f.vexa").variables[0].print_format == fmt



def test_verifying_finds_a_text_one_byte_off():
    # Blocks of one text mostly or mixed; some with a text one byte off its code's.
    rng, verify = np.random.default_rng(11), vexaio._cases._verify
    distinct = rng.integers(0, 256, (5, 10), dtype=np.uint8)
    for n, share, wrong in itertools.product([1, 700, 3000, 900], [0.1, 0.9], [0, 1]):
        b = distinct[codes := np.where(rng.random(n) < share, rng.integers(0, 5, n), 0)]
        b[rng.integers(0, n), rng.integers(0, 10)] ^= wrong
        assert verify(b, codes, distinct, 4096) == (not wrong)
