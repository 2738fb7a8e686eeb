#!/usr/bin/env python3
"""Reading through Dask against reading in one process. Writes the survey
file of read_dataframe_bench.py (byte-code compressed unless --compression
says otherwise) of about MB megabytes of case data, then times:

  one process    vexaio.read_dataframe, best of REPEAT runs
  Dask           vexaio.dask.read_dask on a distributed.LocalCluster of
                 WORKERS worker processes of one thread: every partition is
                 read into a DataFrame in its worker, which gives back its
                 length. The REPEAT runs follow each other on one
                 cluster, as read_dataframe's runs follow each other in
                 this process: on some virtual machines, memory that a
                 process has left unused for a second or two goes back to
                 the host and costs a fault in the host when used again,
                 so a fresh worker would pay for memory that a worker of a
                 cluster in use, like a process that reads again, has
                 warm. Before the first run the workers read a small file
                 once; later runs find their read handles open.

and reports the CPU seconds that the workers spent (on a busy machine the
fairer comparison: on an idle one the busiest worker's CPU time bounds the
run), the peak memory of each worker during a run (its peak
resident size less its size when started) against the memory of one
partition's arrays. The Dask runs are made twice: with the environment
that Dask's nanny gives its workers, whose MALLOC_TRIM_THRESHOLD_ has glibc
map and unmap every temporary array of over 128 KiB, and without that
variable. --gather also times read_dask(...).compute(), which
brings every partition to this process. Run from a build directory's
environment:

  VEXAIO_LIBRARY=build/libvexaio.so PYTHONPATH=python \\
      python3 bench/read_dask_bench.py --mb 1100
"""
import argparse
import contextlib
import logging
import os
import tempfile
import time

import dask
import distributed

import vexaio
import vexaio.dask
from read_dataframe_bench import best, machine, make_file


def status(field):
    """A size of /proc/self/status in bytes: VmRSS now, VmHWM the peak. Not
    getrusage: its peak survives exec, so a spawned worker starts with the
    peak of the process it was forked from."""
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) * 1024 for line in f if line.startswith(field + ":"))


def cpu_seconds():
    t = os.times()
    return t.user + t.system


def peak_rss():
    return status("VmHWM")


def rss():
    return status("VmRSS")


def warm_up(small):
    """What a worker of a cluster that has read files before has done: the
    imports, and a first read, which loads the library's converters and
    touches pandas' and NumPy's code paths once (a few tenths of a second)."""
    import vexaio.dask
    vexaio.dask.read_dask(small).compute(scheduler="sync")


@contextlib.contextmanager
def cluster(workers):
    """A client of a new local cluster of worker processes of one thread."""
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=":0", silence_logs=logging.ERROR) as c:
        with distributed.Client(c) as client:
            yield client


def timed_runs(ddf, cases, args):
    """Seconds of each run, the peak memory of its busiest worker, the CPU
    seconds of the workers in the fastest run (all, busiest), and the best
    time of compute() with --gather."""
    times, peaks, cpu, gathered = [], [], None, None
    with cluster(args.workers) as client:
        client.run(warm_up, args.small)
        start_rss = client.run(rss)
        for run in range(args.repeat):
            start_cpu = client.run(cpu_seconds)
            start = time.perf_counter()
            assert sum(client.compute(ddf.map_partitions(len)).result()) == cases
            times.append(time.perf_counter() - start)
            peak, used = client.run(peak_rss), client.run(cpu_seconds)
            peaks.append(max(peak[w] - start_rss[w] for w in peak))
            if times[-1] == min(times):
                used = [used[w] - start_cpu[w] for w in used]
                cpu = (sum(used), max(used))
        if args.gather:
            gathered = best(lambda: client.compute(ddf).result(), args.repeat)
    return times, peaks, cpu, gathered


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--mb", type=int, default=1100, help="megabytes of case data (default 1100)")
    p.add_argument("--partition-rows", type=int,
                   help="cases a partition (default: the cases in four equal partitions a worker, "
                        "so that the workers have equal work)")
    p.add_argument("--workers", type=int, default=2)
    p.add_argument("--repeat", type=int, default=3)
    p.add_argument("--compression", default="bytecode", choices=["none", "bytecode", "zlib"])
    p.add_argument("--gather", action="store_true", help="also time compute() into this process")
    p.add_argument("--file", help="keep the file here instead of a temporary folder")
    args = p.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        path = args.file or os.path.join(tmp, "survey.vexa")
        cases = make_file(path, args.mb, args.compression)
        args.small = os.path.join(tmp, "small.vexa")
        make_file(args.small, 1, args.compression)
        data_mb = cases * 220 * 8 / 1e6
        args.partition_rows = args.partition_rows or -(-cases // (4 * args.workers))
        print(machine(), f", load average {os.getloadavg()[0]:.1f} at start", sep="")
        print(f"file: {cases} cases of 1,760 bytes = {data_mb:.0f} MB of case data, "
              f"{os.path.getsize(path) / 1e6:.0f} MB on disk ({args.compression}); "
              f"{args.partition_rows} cases a partition\n")
        cpu_before = cpu_seconds()
        single = best(lambda: vexaio.read_dataframe(path), args.repeat)
        single_cpu = (cpu_seconds() - cpu_before) / args.repeat
        print(f"{'read_dataframe, one process':44s} {single:8.3f} s {data_mb / single:8.0f} MB/s  "
              f"({single_cpu:.2f} CPU seconds a run)")
        ddf = vexaio.dask.read_dask(path, partition_rows=args.partition_rows)
        with cluster(args.workers) as client:
            part_mb = client.compute(ddf.partitions[0].memory_usage().sum()).result() / 1e6
        print(f"one partition: {part_mb:.0f} MB of arrays (its texts are shared objects)")
        default = dask.config.get("distributed.nanny.pre-spawn-environ")
        untrimmed = {k: v for k, v in default.items() if k != "MALLOC_TRIM_THRESHOLD_"}
        for name, environ in [("Dask's worker environment", default),
                              ("no MALLOC_TRIM_THRESHOLD_", untrimmed)]:
            # The nanny puts the variables into this process's environment
            # too, where the next workers would inherit them.
            os.environ.pop("MALLOC_TRIM_THRESHOLD_", None)
            with dask.config.set({"distributed.nanny.pre-spawn-environ": environ}):
                times, peaks, cpu, gathered = timed_runs(ddf, cases, args)
            print(f"read_dask, {args.workers} workers, {name}:")
            print(f"{'  best':44s} {min(times):8.3f} s {data_mb / min(times):8.0f} MB/s  "
                  f"{single / min(times):.2f}x  (runs: {', '.join(f'{t:.2f}' for t in times)} s)")
            print(f"  CPU seconds of the workers in the best run: {cpu[0]:.2f} in all, "
                  f"{cpu[1]:.2f} in the busiest")
            print(f"  peak memory per worker: {max(peaks) / 1e6:.0f} MB above its start = "
                  f"{max(peaks) / 1e6 / part_mb:.2f} partitions")
            if gathered:
                print(f"{'  compute() into this process':44s} {gathered:8.3f} s "
                      f"{data_mb / gathered:8.0f} MB/s  {single / gathered:.2f}x")
        print(f"\nload average {os.getloadavg()[0]:.1f} at the end")


if __name__ == "__main__":
    main()
