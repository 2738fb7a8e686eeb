#!/usr/bin/env python3
"""Dask against the machine's own ceiling. Writes the survey file of
read_dataframe_bench.py (byte-code compressed) of about MB megabytes of case
data, then, in the same run:

  ceiling   WORKERS plain processes (no Dask), started and warmed once, each
            reading its share of the partitions (a run of neighbouring
            ones) with the code a Dask worker runs for a partition, all at
            the same time; a run lasts until the last one is done
  Dask      vexaio.dask.read_dask on a distributed.LocalCluster of WORKERS
            worker processes of one thread, each partition read into a
            DataFrame in its worker, which gives back its length

REPEAT runs of each, taking turns, so that both meet the same load; the
median and the spread (fastest - slowest) of each, and Dask's speed as a
share of the ceiling's (aim: at least 0.9). On a machine where two
processes reading at once do not get twice the work done, the ceiling is
what two readers can do, not twice what one does.

Then writing: vexaio.dask.to_vexa of a filtered frame (rows with q0 > 5,
about half) against vexaio.write_dataframe of the same frame computed into
this process (aim: to_vexa at least as fast) and against compute() and
write_dataframe together, and the two files compared; and the floor of any
write of that frame: reading and filtering the file in the workers alone.

Then memory: a cluster of WORKERS workers of --memory-limit each (the file
is about four times their total with the defaults) reads the file through
read_dask -> filter -> groupby().mean() and through to_vexa, in partitions
of --small-rows cases; each worker's peak resident size during each (its
VmHWM, reset before) against its limit, and the bytes Dask spilled to disk.

Run from a build directory's environment (about 2.5 GB in TMPDIR):

  VEXAIO_LIBRARY=build/libvexaio.so PYTHONPATH=python:bench \\
      python3 bench/read_dask_bench.py
"""
import argparse
import contextlib
import logging
import multiprocessing
import os
import statistics
import tempfile
import time

import dask
import distributed

import vexaio
import vexaio.dask
from vexaio._files import _Reader
from read_dataframe_bench import machine, make_file


def status(field):
    """A size of /proc/self/status in bytes: VmRSS now, VmHWM the peak since
    the last reset_peak()."""
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) * 1024 for line in f if line.startswith(field + ":"))


def peak_rss():
    return status("VmHWM")


def reset_peak():
    """Starts the process's peak resident size afresh from its size now."""
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")


def spilled(dask_worker):
    """Bytes the worker has written to disk to make room, since it started."""
    return int(dask_worker.data.get_metrics().get("disk_write_bytes_total", 0))


def warm_up(small):
    """What a process that has read files before has done: the imports and
    a first read (the library's converters, pandas' and NumPy's code)."""
    import vexaio.dask
    vexaio.dask.read_dask(small).compute(scheduler="sync")


def read_share(task):
    """The ceiling's work in one process: its partitions read one after the
    other, by the function a Dask worker calls for each."""
    read, parts = task
    return sum(len(read(p)) for p in parts)


@contextlib.contextmanager
def cluster(workers, memory_limit="auto"):
    """A client of a new local cluster of worker processes of one thread."""
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  memory_limit=memory_limit, dashboard_address=":0",
                                  silence_logs=logging.ERROR) as c:
        with distributed.Client(c) as client:
            yield client


def spread(times):
    return (f"median {statistics.median(times):.3f} s, spread {max(times) - min(times):.3f} s "
            f"(runs: {', '.join(f'{t:.2f}' for t in times)})")


def ceiling_against_dask(path, cases, args):
    """Runs of the ceiling and of read_dask, taking turns."""
    ddf = vexaio.dask.read_dask(path, partition_rows=args.partition_rows)
    # The ranges of cases and the reading function that read_dask gives its
    # workers.
    with _Reader(path) as r:
        starts, positions, count = vexaio.dask._partition_starts(r, args.partition_rows)
    parts = [{"first": s, "count": min(args.partition_rows, count - s), "last": s == starts[-1],
              "at": at} for s, at in zip(starts, positions)]
    read = vexaio.dask._CaseRange(path, list(ddf.columns), None, True)
    share = -(-len(parts) // args.workers)
    shares = [(read, parts[i:i + share]) for i in range(0, len(parts), share)]
    ceiling, dasked = [], []
    with multiprocessing.get_context("spawn").Pool(args.workers) as pool, \
            cluster(args.workers) as client:
        pool.map(warm_up, [args.small] * args.workers)
        client.run(warm_up, args.small)
        for _ in range(args.repeat):
            start = time.perf_counter()
            assert sum(pool.map(read_share, shares, chunksize=1)) == cases
            ceiling.append(time.perf_counter() - start)
            start = time.perf_counter()
            assert sum(client.compute(ddf.map_partitions(len)).result()) == cases
            dasked.append(time.perf_counter() - start)
    return ceiling, dasked


def same_cases(a, b):
    """Whether two files hold the same bytes but for the header's time of
    writing."""
    with open(a, "rb") as f, open(b, "rb") as g:
        x, y = f.read(), g.read()
    return len(x) == len(y) and x[:92] == y[:92] and x[109:] == y[109:]


def writing_against(path, tmp, args):
    """to_vexa of a filtered frame against write_dataframe of it computed."""
    ddf = vexaio.dask.read_dask(path, partition_rows=args.partition_rows)
    chosen = ddf[ddf["q0"] > 5]
    out_dask, out_frame = os.path.join(tmp, "dask.vexa"), os.path.join(tmp, "frame.vexa")
    # The computed frame's attrs no longer hold the file's dictionary.
    dictionary = ddf._meta.attrs["vexaio"]
    to_vexa, frame_times, computed, floor = [], [], [], []
    with cluster(args.workers) as client:
        client.run(warm_up, args.small)
        for _ in range(args.write_repeat):
            # What no writing of the filtered frame can go below: reading
            # and filtering the file in the workers, keeping only lengths.
            start = time.perf_counter()
            client.compute(chosen.map_partitions(len)).result()
            floor.append(time.perf_counter() - start)
            start = time.perf_counter()
            vexaio.dask.to_vexa(chosen, out_dask)
            to_vexa.append(time.perf_counter() - start)
            start = time.perf_counter()
            frame = client.compute(chosen).result()
            computed.append(time.perf_counter() - start)
            start = time.perf_counter()
            vexaio.write_dataframe(frame, out_frame, index=False, dictionary=dictionary)
            frame_times.append(time.perf_counter() - start)
            computed[-1] += frame_times[-1]
            rows = len(frame)
            del frame
    return rows, to_vexa, frame_times, computed, floor, same_cases(out_dask, out_frame)


def memory_bound(path, tmp, args):
    """Peaks of each worker (bytes) and bytes spilled, for the group-by and
    for to_vexa, on a cluster of workers of the memory limit."""
    ddf = vexaio.dask.read_dask(path, partition_rows=args.small_rows)
    chosen = ddf[ddf["q0"] > 5]
    numbers = [f"q{i}" for i in range(1, 200, 10)]
    out = {}
    with cluster(args.workers, args.memory_limit) as client:
        client.run(warm_up, args.small)
        base = client.run(status, "VmRSS")
        client.run(reset_peak)
        start = time.perf_counter()
        means = client.compute(chosen.groupby("s0")[numbers].mean()).result()
        out["group-by"] = (time.perf_counter() - start, client.run(peak_rss), client.run(spilled))
        assert len(means) == 5
        client.run(reset_peak)
        start = time.perf_counter()
        vexaio.dask.to_vexa(chosen, os.path.join(tmp, "kept.vexa"))
        out["to_vexa"] = (time.perf_counter() - start, client.run(peak_rss), client.run(spilled))
        limit = client.run(lambda dask_worker: dask_worker.memory_manager.memory_limit)
    return base, limit, out


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--mb", type=int, default=2000, help="megabytes of case data (default 2000)")
    p.add_argument("--workers", type=int, default=2)
    p.add_argument("--repeat", type=int, default=5, help="runs of the ceiling and of Dask")
    p.add_argument("--write-repeat", type=int, default=3)
    p.add_argument("--memory-limit", default="250MB", help="of each worker in the memory part")
    p.add_argument("--small-rows", type=int, default=8192, help="cases a partition in the memory part")
    p.add_argument("--skip", default="", help="parts to leave out: read, write, memory (commas)")
    p.add_argument("--no-trim", action="store_true",
                   help="workers without the MALLOC_TRIM_THRESHOLD_ that Dask's nanny sets")
    p.add_argument("--file", help="keep the file here instead of a temporary folder")
    args = p.parse_args()
    if args.no_trim:
        environ = dask.config.get("distributed.nanny.pre-spawn-environ")
        dask.config.set({"distributed.nanny.pre-spawn-environ":
                         {k: v for k, v in environ.items() if k != "MALLOC_TRIM_THRESHOLD_"}})
    skip = set(filter(None, args.skip.split(",")))
    with tempfile.TemporaryDirectory() as tmp:
        path = args.file or os.path.join(tmp, "survey.vexa")
        cases = make_file(path, args.mb) if not os.path.exists(path) else \
            vexaio.read_dictionary(path).case_count
        args.small = os.path.join(tmp, "small.vexa")
        make_file(args.small, 1)
        data_mb = cases * 220 * 8 / 1e6
        args.partition_rows = -(-cases // (4 * args.workers))
        print(machine(), f", load average {os.getloadavg()[0]:.1f} at start", sep="")
        print(f"file: {cases} cases of 1,760 bytes = {data_mb:.0f} MB of case data, "
              f"{os.path.getsize(path) / 1e6:.0f} MB on disk; {args.partition_rows} cases a "
              "partition\n")
        if "read" not in skip:
            ceiling, dasked = ceiling_against_dask(path, cases, args)
            print(f"ceiling, {args.workers} plain processes: {spread(ceiling)}")
            print(f"read_dask, {args.workers} workers:       {spread(dasked)}")
            print(f"  speed / the ceiling's: {statistics.median(ceiling) / statistics.median(dasked):.2f} "
                  f"(aim >= 0.9); of the fastest runs: {min(ceiling) / min(dasked):.2f}\n")
        if "write" not in skip:
            rows, to_vexa, frame_times, computed, floor, same = writing_against(path, tmp, args)
            print(f"writing the {rows} rows with q0 > 5 ({'the same file' if same else 'FILES DIFFER'}):")
            print(f"  to_vexa from the file:              {spread(to_vexa)}")
            print(f"  write_dataframe of them computed:   {spread(frame_times)}")
            print(f"  compute() and then write_dataframe: {spread(computed)}")
            print(f"  reading and filtering alone:        {spread(floor)}")
            print(f"  to_vexa's speed / write_dataframe's: "
                  f"{statistics.median(frame_times) / statistics.median(to_vexa):.2f} (aim >= 1); "
                  f"/ compute() and write_dataframe's: "
                  f"{statistics.median(computed) / statistics.median(to_vexa):.2f}; "
                  f"time / reading and filtering alone's: "
                  f"{statistics.median(to_vexa) / statistics.median(floor):.2f}\n")
        if "memory" not in skip:
            base, limit, out = memory_bound(path, tmp, args)
            total = sum(limit.values())
            print(f"memory: {args.workers} workers of {args.memory_limit} (the file's case data is "
                  f"{data_mb * 1e6 / total:.1f}x their total), {args.small_rows} cases a partition, "
                  f"workers at {', '.join(f'{b / 1e6:.0f}' for b in base.values())} MB when idle")
            for name, (seconds, peaks, spills) in out.items():
                print(f"  {name:9s} {seconds:6.2f} s; peaks "
                      f"{', '.join(f'{peaks[w] / 1e6:.0f} MB of {limit[w] / 1e6:.0f}' for w in peaks)}; "
                      f"spilled {', '.join(str(s) for s in spills.values())}")
        print(f"\nload average {os.getloadavg()[0]:.1f} at the end")


if __name__ == "__main__":
    main()
