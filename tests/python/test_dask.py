"""vexaio.dask on a local cluster of two worker processes: files read by
ranges of cases equal files read whole, in every form and with an
unrecorded case count; frames written from partitions equal frames written
whole; failures reach the caller with the library's detail. (Files of the
other byte order are the library's concern, and its tests read them in
every form; here they would go the same way as any other file.)"""
import concurrent.futures
import contextlib
import logging

import numpy as np
import pandas as pd
import pytest

import vexaio

dask = pytest.importorskip("dask")
distributed = pytest.importorskip("distributed")
dd = pytest.importorskip("dask.dataframe")
import vexaio.dask  # noqa: E402  (after the skips: it needs Dask)

PARTITION_ROWS = 137
N = 1000


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=":0", silence_logs=logging.ERROR) as cluster:
        with distributed.Client(cluster, timeout=30) as c:
            yield c


def run(client, collection):
    return client.compute(collection).result(timeout=60)


def unstamped(path):  # the file's bytes but for the header's time of writing
    return path.read_bytes()[:92] + path.read_bytes()[109:]


def survey(path, compression):
    """N cases: numbers with user-missing codes and labels, dates, texts."""
    rng = np.random.default_rng(5)
    variables = [
        vexaio.Variable("x", missing_values=(99.0,), value_labels={1.0: "one", 2.0: "two"},
                        measure="ordinal"),
        vexaio.Variable("when", print_format="DATE11", write_format="DATE11"),
        vexaio.Variable("s", width=24, missing_values=("gone",)),
        vexaio.Variable("y")]
    columns = {
        "x": rng.choice([1.0, 2.0, 3.0, 99.0, np.nan], N),
        "when": 86400.0 * rng.integers(150000, 160000, N),
        "s": np.array([("wörd " * (i % 5)).strip() or "gone" for i in range(N)], object),
        "y": np.where(rng.random(N) < 0.2, np.nan, rng.normal(size=N))}
    vexaio.write(path, vexaio.Dictionary(variables, compression=compression), columns)
    return path


def read_equal(client, path, labels=False):
    expected = vexaio.read_dataframe(path, labels=labels)
    ddf = vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS, labels=labels)
    assert ddf.npartitions == -(-N // PARTITION_ROWS) and ddf.divisions[-1] == N - 1
    assert list(map(str, ddf.dtypes)) == list(map(str, expected.dtypes))
    pd.testing.assert_frame_equal(run(client, ddf), expected, check_categorical=False)
    columns = list(expected.columns[::-2])
    part = vexaio.dask.read_dask(path, PARTITION_ROWS, columns=columns, labels=labels).partitions[3]
    rows = slice(3 * PARTITION_ROWS, 4 * PARTITION_ROWS)
    pd.testing.assert_frame_equal(run(client, part), expected[columns][rows], check_categorical=False)
    return expected


@pytest.mark.parametrize("compression", ["none", "bytecode", "zlib"])
@pytest.mark.parametrize("counted", [True, False])
def test_ranges_read_in_workers_make_up_the_file(client, tmp_path, uncounted, compression, counted):
    path = survey(tmp_path / "survey.vexa", compression)
    if vexaio.read_dictionary(path).compression != compression:
        pytest.skip(f"this build of the library writes no {compression} files")
    if not counted:
        uncounted(path)  # read as unrecorded: the frame tests, in every form
    expected = read_equal(client, path, labels=True)
    assert expected["x"].isna().sum() > 0 and expected["when"].dtype.kind == "M"


def test_cases_beyond_the_count_come_with_the_last_range(client, tmp_path, uncounted):
    path = survey(tmp_path / "short.vexa", "bytecode")
    uncounted(path, N - 3)
    pd.testing.assert_frame_equal(run(client, vexaio.dask.read_dask(path, PARTITION_ROWS)),
                                  vexaio.read_dataframe(path), check_categorical=False)


def test_a_file_replaced_between_reads_is_read_anew(client, tmp_path):
    """Workers keep handles open between partitions; not those of a file
    that has since been replaced."""
    path = tmp_path / "replaced.vexa"
    for n in (N, 300, 0):
        vexaio.write(path, vexaio.Dictionary([vexaio.Variable("x")]), {"x": np.arange(n) * n})
        ddf = vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS)
        assert ddf.npartitions == max(1, -(-n // PARTITION_ROWS))
        assert run(client, ddf)["x"].tolist() == list(np.arange(n) * n)


def frame():
    n = 700
    rng = np.random.default_rng(11)
    return pd.DataFrame({
        "count": rng.integers(-5, 10**6, n),
        "flag": rng.random(n) < 0.5,
        # The widest text, the only fraction and time of day: last partition.
        "text": [("ab " * (i % 9)) + ("wide" * 30 if i == n - 3 else "") for i in range(n)],
        "level": np.where(np.arange(n) == n - 2, 2.5, rng.integers(0, 9, n)),
        "when": pd.to_datetime(rng.integers(0, 10**4, n), unit="D")
        + pd.to_timedelta(np.where(np.arange(n) == n - 1, 3600, 0), unit="s"),
        "grade": pd.Categorical(rng.choice(["low", "mid", "high"], n),
                                categories=["low", "mid", "high"], ordered=True),
    })


@pytest.mark.parametrize("source", ["frame, none", "frame, bytecode", "file"])
def test_a_dask_frame_writes_the_file_that_write_dataframe_writes(client, tmp_path, source):
    if source == "file":  # categories differ by partition; user-missing codes come back
        path, kwargs = survey(tmp_path / "in.vexa", "bytecode"), {}
        pdf = vexaio.read_dataframe(path, labels=True)
        ddf = vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS, labels=True)
    else:
        pdf, kwargs = frame(), {"compression": source[7:], "labels": {"count": {0.0: "none"}}}
        ddf = dd.from_pandas(pdf, npartitions=4)
    whole, parts = tmp_path / "whole.vexa", tmp_path / "parts.vexa"
    vexaio.write_dataframe(pdf, whole, **kwargs)
    vexaio.dask.to_vexa(ddf, parts, **kwargs)
    assert unstamped(whole) == unstamped(parts)


def test_a_damaged_file_fails_the_computation_with_the_library_detail(client, tmp_path):
    data = survey(tmp_path / "damaged.vexa", "bytecode").read_bytes()
    (tmp_path / "damaged.vexa").write_bytes(data[:len(data) // 2])
    with pytest.raises(vexaio.VexaError) as local:
        vexaio.read(tmp_path / "damaged.vexa")
    with pytest.raises(vexaio.VexaError) as remote:
        run(client, vexaio.dask.read_dask(tmp_path / "damaged.vexa", partition_rows=PARTITION_ROWS))
    assert remote.value.code == local.value.code and remote.value.detail == local.value.detail


def test_a_failed_partition_leaves_the_existing_file(client, tmp_path):
    path = tmp_path / "kept.vexa"
    vexaio.write_dataframe(pd.DataFrame({"a": [1.0]}), path)
    before = path.read_bytes()

    def fail(df):
        if df.index[0] >= 300:
            raise RuntimeError("partition fails")
        return df

    with pytest.raises(RuntimeError, match="partition fails"):
        vexaio.dask.to_vexa(dd.from_pandas(frame(), npartitions=4).map_partitions(fail), path)
    assert path.read_bytes() == before and [p.name for p in tmp_path.iterdir()] == ["kept.vexa"]


@pytest.mark.parametrize("scheduler", ["sync", "threads", "processes", "in-process cluster"])
def test_every_scheduler_reads_and_writes_protected_files(tmp_path, scheduler):
    path, out = survey(tmp_path / "in.vexa", "bytecode"), tmp_path / "out.vexa"
    vexaio.write_dataframe(vexaio.read_dataframe(path), path, password="pw")
    columns = ["s", "x"]
    with contextlib.ExitStack() as stack:
        if scheduler == "in-process cluster":
            cluster = stack.enter_context(distributed.LocalCluster(
                n_workers=1, processes=False, dashboard_address=":0", silence_logs=logging.ERROR))
            stack.enter_context(distributed.Client(cluster))
        else:
            stack.enter_context(dask.config.set(scheduler=scheduler))
        ddf = vexaio.dask.read_dask(path, PARTITION_ROWS, columns=columns, password="pw")
        back = ddf.compute()
        vexaio.dask.to_vexa(ddf, out, password="pw2", columns=["x"])
    pd.testing.assert_frame_equal(back, vexaio.read_dataframe(path, columns=columns, password="pw"))
    pd.testing.assert_frame_equal(vexaio.read_dataframe(out, password="pw2"), back[["x"]])


@pytest.mark.parametrize("change, one_pass", [
    (lambda df: df[df["y"] > 0], True),  # the file's variables still hold every value
    (lambda df: df.assign(s=df["s"] + "!" * 30), False),  # texts longer than their variable
    (lambda df: df.assign(s=df["s"].where(df["y"] > 0)), False),  # missing texts
    (lambda df: df.assign(s=df["s"].where(~(df["y"] > 2.8))), False),  # two, far into the file
])
def test_to_vexa_reads_once_unless_the_values_ask_for_other_variables(tmp_path, monkeypatch, change,
                                                                       one_pass):
    path, whole, parts = survey(tmp_path / "in.vexa", "bytecode"), tmp_path / "w.vexa", tmp_path / "p.vexa"
    sketches, sketch = [], vexaio.dask._sketch
    monkeypatch.setattr(vexaio.dask, "_sketch", lambda *a: sketches.append(1) or sketch(*a))
    with dask.config.set(scheduler="sync"):
        vexaio.dask.to_vexa(change(vexaio.dask.read_dask(path, partition_rows=PARTITION_ROWS)), parts)
    vexaio.write_dataframe(change(vexaio.read_dataframe(path)), whole, index=False)
    assert unstamped(whole) == unstamped(parts) and (not sketches) == one_pass


def test_a_partition_read_takes_no_thread_beside_its_own(tmp_path, monkeypatch):
    """The partitions keep every core busy; a whole read may use two threads."""
    n, path = 70000, tmp_path / "big.vexa"
    df = pd.DataFrame({"x": np.arange(n) * 0.5, "t": np.array(["a", "b"])[np.arange(n) % 2]})
    vexaio.write_dataframe(df, path)
    started, submit = [], concurrent.futures.ThreadPoolExecutor.submit
    monkeypatch.setattr(concurrent.futures.ThreadPoolExecutor, "submit",
                        lambda self, *a: started.append(1) or submit(self, *a))
    with dask.config.set(scheduler="sync"):
        vexaio.dask.read_dask(path, partition_rows=n).compute()
    assert not started
