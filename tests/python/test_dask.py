"""vexaio.dask on a local cluster of two worker processes: files read by
ranges of cases equal files read whole, in every form, byte order and with
an unrecorded case count; frames written from partitions equal frames
written whole; failures reach the caller with the library's detail."""
import logging
import struct

import numpy as np
import pandas as pd
import pytest

import vexaio

dask = pytest.importorskip("dask")
distributed = pytest.importorskip("distributed")
dd = pytest.importorskip("dask.dataframe")
import vexaio.dask  # noqa: E402  (after the skip: it needs Dask)

PARTITION_ROWS = 137
N = 1000
# Bytes of the header that hold the time of writing.
STAMP = slice(92, 109)


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=":0", silence_logs=logging.ERROR) as cluster:
        with distributed.Client(cluster, timeout=30) as c:
            yield c


def run(client, collection):
    return client.compute(collection).result(timeout=60)


def records(data):
    """(offset, record type, fields) of each dictionary record, and where
    the cases start. Fields: variable type for type 2, the element size and
    count for type 7."""
    at, out = 176, []
    unpack = lambda fmt, pos: struct.unpack_from("<" + fmt, data, pos)
    while True:
        kind, = unpack("i", at)
        if kind == 2:
            width, has_label, n_missing = unpack("3i", at + 4)
            size = 32 + (4 + -(-unpack("i", at + 32)[0] // 4) * 4 if has_label else 0)
            out.append((at, 2, (width, has_label, abs(n_missing))))
            at += size + 8 * abs(n_missing)
        elif kind == 3:
            count, = unpack("i", at + 4)
            out.append((at, 3, count))
            at += 8
            for _ in range(count):
                at += 8 + -(-(1 + data[at + 8]) // 8) * 8
        elif kind in (4, 6):
            count, = unpack("i", at + 4)
            out.append((at, kind, count))
            at += 8 + count * (4 if kind == 4 else 80)
        elif kind == 7:
            size, count = unpack("2i", at + 8)
            out.append((at, 7, (unpack("i", at + 4)[0], size, count)))
            at += 16 + size * count
        else:
            assert kind == 999
            return out, at + 8


def swap(data, at, size, count=1):
    for i in range(count):
        data[at + i * size:at + (i + 1) * size] = data[at + i * size:at + (i + 1) * size][::-1]


def big_endian(data):
    """A file of the library (value labels on numeric variables only) as a
    machine of the other byte order writes it."""
    data = bytearray(data)
    found, start = records(data)
    numeric = [fields[0] == 0 for at, kind, fields in found if kind == 2]
    compression = data[72]
    swap(data, 64, 4, 5)
    swap(data, 84, 8)
    swap(data, start - 8, 4, 2)  # the termination record
    for at, kind, fields in found:
        swap(data, at, 4, 2)
        if kind == 2:
            swap(data, at + 8, 4, 4)
            label = 0
            if fields[1]:
                label = 4 + -(-struct.unpack_from("<i", data, at + 32)[0] // 4) * 4
                swap(data, at + 32, 4)
            if fields[0] == 0:
                swap(data, at + 32 + label, 8, fields[2])
        elif kind == 3:
            pos = at + 8
            for _ in range(fields):
                swap(data, pos, 8)
                pos += 8 + -(-(1 + data[pos + 8]) // 8) * 8
        elif kind == 4:
            swap(data, at + 8, 4, fields)
        elif kind == 7:
            swap(data, at + 8, 4, 2)
            if fields[1] in (4, 8):
                swap(data, at + 16, fields[1], fields[2])
    if compression == 1:  # byte-code: literals of numeric slots
        pos, slot = start, 0
        while pos < len(data):
            codes, literal = data[pos:pos + 8], pos + 8
            for code in codes:
                if code == 253 and numeric[slot % len(numeric)]:
                    swap(data, literal, 8)
                literal += 8 * (code == 253)
                slot += code not in (0, 252)
            pos = literal
    else:
        cases = np.frombuffer(data, np.uint8, offset=start).reshape(-1, len(numeric), 8).copy()
        cases[:, numeric] = cases[:, numeric, ::-1]
        data[start:] = cases.tobytes()
    return bytes(data)


def uncounted(data):
    """The file with its case count unrecorded, in the header and in the
    count record."""
    data = bytearray(data)
    data[80:84] = struct.pack("<i", -1)
    for at, kind, fields in records(data)[0]:
        if kind == 7 and fields[0] == 16:
            data[at + 24:at + 32] = struct.pack("<q", -1)
    return bytes(data)


def survey(path, compression):
    """A file of N cases: numbers with user-missing codes and labels, dates,
    texts short and long, some missing."""
    rng = np.random.default_rng(5)
    variables = [
        vexaio.Variable("x", missing_values=(99.0,), value_labels={1.0: "one", 2.0: "two"},
                        measure="ordinal"),
        vexaio.Variable("when", print_format="DATE11", write_format="DATE11"),
        vexaio.Variable("s", width=20, missing_values=("gone",)),
        vexaio.Variable("t", width=3),
        vexaio.Variable("y")]
    columns = {
        "x": rng.choice([1.0, 2.0, 3.0, 99.0, np.nan], N),
        "when": 86400.0 * rng.integers(150000, 160000, N),
        "s": np.array([("word " * (i % 5)).strip() or "gone" for i in range(N)], object),
        "t": rng.choice(["a", "bc", "déf"[:2]], N).astype(object),
        "y": np.where(rng.random(N) < 0.2, np.nan, rng.normal(size=N))}
    vexaio.write(path, vexaio.Dictionary(variables, compression=compression), columns)


def form(tmp_path, compression):
    path = tmp_path / f"{compression}.vexa"
    try:
        survey(path, compression)
        vexaio.read(path)
    except vexaio.VexaError as e:
        pytest.skip(f"this build of the library cannot write and read {compression} files: {e}")
    if vexaio.read_dictionary(path).compression != compression:
        pytest.skip(f"this build of the library writes no {compression} files")
    return path


@pytest.mark.parametrize("compression", ["none", "bytecode", "zlib"])
@pytest.mark.parametrize("order", ["little", "big"])
@pytest.mark.parametrize("counted", [True, False])
def test_ranges_read_in_workers_make_up_the_file(client, tmp_path, compression, order, counted):
    path = form(tmp_path, compression)
    data = path.read_bytes()
    data = data if counted else uncounted(data)
    if order == "big":
        if compression == "zlib":
            pytest.skip("the test swaps no zlib blocks")
        data = big_endian(data)
    path.write_bytes(data)
    expected = vexaio.read_dataframe(path, labels=True)
    assert expected.shape == (N, 5) and expected["x"].isna().sum() > 0
    if order == "big":
        pd.testing.assert_frame_equal(expected, vexaio.read_dataframe(form(tmp_path, compression),
                                                                      labels=True))
    ddf = vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS, labels=True)
    assert ddf.npartitions == -(-N // PARTITION_ROWS) and ddf.divisions[-1] == N - 1
    assert list(map(str, ddf.dtypes)) == list(map(str, expected.dtypes))
    back = run(client, ddf)
    pd.testing.assert_frame_equal(back, expected, check_categorical=False)
    part = run(client, ddf[["t", "x"]].partitions[3])
    pd.testing.assert_frame_equal(part, expected[["t", "x"]].iloc[3 * PARTITION_ROWS:4 * PARTITION_ROWS],
                                  check_categorical=False)


def test_a_file_replaced_between_reads_is_read_anew(client, tmp_path):
    """Workers keep handles open between partitions; not those of a file
    that has since been replaced."""
    path = tmp_path / "replaced.vexa"
    for n in (N, 300, 0):
        vexaio.write(path, vexaio.Dictionary([vexaio.Variable("x")], compression="bytecode"),
                     {"x": np.arange(n, dtype=float) * n})
        ddf = vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS)
        assert ddf.npartitions == max(1, -(-n // PARTITION_ROWS))
        assert run(client, ddf)["x"].tolist() == list(np.arange(n, dtype=float) * n)


def frame():
    n = 700
    rng = np.random.default_rng(11)
    return pd.DataFrame({
        "count": rng.integers(-5, 10**6, n),
        "ratio": np.where(rng.random(n) < 0.1, np.nan, rng.normal(size=n)),
        "flag": rng.random(n) < 0.5,
        # The widest text and the only fraction lie in the last partition.
        "text": [("ab " * (i % 9)) + ("wide" * 30 if i == n - 3 else "") for i in range(n)],
        "level": np.where(np.arange(n) == n - 2, 2.5, rng.integers(0, 9, n)),
        # Days, but for one time of day in the last partition.
        "when": pd.to_datetime(rng.integers(0, 10**4, n), unit="D")
        + pd.to_timedelta(np.where(np.arange(n) == n - 1, 3600, 0), unit="s"),
        "grade": pd.Categorical(rng.choice(["low", "mid", "high"], n),
                                categories=["low", "mid", "high"], ordered=True),
    })


@pytest.mark.parametrize("compression", ["none", "bytecode"])
def test_a_dask_frame_writes_the_file_of_the_whole_frame(client, tmp_path, compression):
    pdf = frame()
    whole, parts = tmp_path / "whole.vexa", tmp_path / "parts.vexa"
    vexaio.write_dataframe(pdf, whole, compression=compression, labels={"count": {0.0: "none"}})
    vexaio.dask.to_vexa(dd.from_pandas(pdf, npartitions=4), parts, compression=compression,
                        labels={"count": {0.0: "none"}})
    a, b = bytearray(whole.read_bytes()), bytearray(parts.read_bytes())
    a[STAMP] = b[STAMP] = b""
    assert a == b


def test_a_file_read_and_written_through_dask_keeps_its_dictionary(client, tmp_path):
    path = tmp_path / "in.vexa"
    survey(path, "bytecode")
    ddf = vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS, labels=True)
    out, whole = tmp_path / "out.vexa", tmp_path / "whole.vexa"
    vexaio.dask.to_vexa(ddf, out)
    vexaio.write_dataframe(vexaio.read_dataframe(path, labels=True), whole)
    a, b = bytearray(whole.read_bytes()), bytearray(out.read_bytes())
    a[STAMP] = b[STAMP] = b""
    assert a == b
    pd.testing.assert_frame_equal(vexaio.read_dataframe(out), vexaio.read_dataframe(path))


def test_threads_of_one_process_read_and_write_as_workers_do(tmp_path):
    path, out = tmp_path / "in.vexa", tmp_path / "out.vexa"
    survey(path, "bytecode")
    with dask.config.set(scheduler="threads", num_workers=4):
        back = vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS // 2, labels=True).compute()
        vexaio.dask.to_vexa(vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS), out)
    pd.testing.assert_frame_equal(back, vexaio.read_dataframe(path, labels=True),
                                  check_categorical=False)
    pd.testing.assert_frame_equal(vexaio.read_dataframe(out), vexaio.read_dataframe(path))


@pytest.mark.parametrize("compression, cut", [("none", 0.5), ("bytecode", 0.5), ("none", -3)])
def test_a_damaged_file_fails_the_computation_with_the_library_detail(client, tmp_path,
                                                                    compression, cut):
    path = tmp_path / "damaged.vexa"
    survey(path, compression)
    data = path.read_bytes()
    start = records(data)[1]
    path.write_bytes(data[:start + int((len(data) - start) * cut) + 5] if cut > 0 else data[:cut])
    with pytest.raises(vexaio.VexaError) as local:
        vexaio.read(path)
    with pytest.raises(vexaio.VexaError) as remote:
        run(client, vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS))
    assert remote.value.code == local.value.code and remote.value.detail == local.value.detail


def test_a_failed_partition_leaves_the_existing_file(client, tmp_path):
    path = tmp_path / "kept.vexa"
    vexaio.write_dataframe(pd.DataFrame({"a": [1.0]}), path)
    before = path.read_bytes()

    def fail(df):
        if df.index[0] >= 300:
            raise RuntimeError("partition fails")
        return df

    ddf = dd.from_pandas(frame(), npartitions=4).map_partitions(fail)
    with pytest.raises(RuntimeError, match="partition fails"):
        vexaio.dask.to_vexa(ddf, path)
    assert path.read_bytes() == before and sorted(p.name for p in tmp_path.iterdir()) == ["kept.vexa"]
