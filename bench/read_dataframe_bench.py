#!/usr/bin/env python3
"""Reading speed of the Python module against C. Writes a survey-like file
(the read benchmark's shape: 200 numerics of small integers with some
missing and fractional values, 20 strings of 8 bytes; byte-code compressed)
of about MB megabytes of case data, then times, best of REPEAT runs:

  C       vexaWholeCaseIn over every case (bench/whole_case_in_timer): into
          one reused case buffer; into one buffer of all cases from malloc;
          into one such buffer advised to use huge pages, as NumPy allocates
  Python  vexaio.read_dataframe (dates, no labels), with labels=True, of
          10% of the columns (every tenth: 20 numbers and 2 strings), and
          vexaio.read
  wide    read_dataframe of all and of 10% of the columns (every tenth) of
          a file of as many megabytes of bench_shapes.cc's wide shape
          (2,000 doubles a case)

Run from a build directory's environment:
  VEXAIO_LIBRARY=build/libvexaio.so PYTHONPATH=python \\
      python3 bench/read_dataframe_bench.py --timer build/bench/whole_case_in_timer
"""
import argparse
import os
import platform
import subprocess
import tempfile
import time

import numpy as np

import vexaio


def make_file(path, megabytes, compression="bytecode"):
    """The cases of bench_shapes.cc's survey shape, written with vexaio a
    block of cases at a time, so that a file larger than memory can be made."""
    from vexaio._files import column_arrays, writing
    n = (megabytes << 20) // (220 * 8)
    letters = np.array(list("ABCDE"), dtype=object)
    variables = [vexaio.Variable(f"q{i}") for i in range(200)]
    variables += [vexaio.Variable(f"s{i}", width=8) for i in range(20)]
    dictionary = vexaio.Dictionary(variables, compression=compression)
    with writing(path, dictionary) as put:
        for start in range(0, n, 65536):
            rows = np.arange(start, min(n, start + 65536), dtype=np.int64)[:, None]
            j = np.arange(200)[None, :]
            numbers = ((rows * 7 + j) % 10 + 1).astype(np.float64)
            numbers[(rows + j) % 13 == 0] += 0.5
            numbers[(rows + j) % 17 == 0] = np.nan
            columns = {f"q{i}": numbers[:, i] for i in range(200)}
            columns.update({f"s{i}": letters[(rows[:, 0] + i) % 5] for i in range(20)})
            put(column_arrays(dictionary, columns, 0, len(rows)))
    return n


def make_wide_file(path, megabytes, compression="bytecode"):
    """The cases of bench_shapes.cc's wide shape: 2,000 doubles that do not
    compress, x{j} = case * 0.001 + j * 1.37."""
    from vexaio._files import column_arrays, writing
    n = max(1, (megabytes << 20) // (2000 * 8))
    dictionary = vexaio.Dictionary([vexaio.Variable(f"x{j}") for j in range(2000)],
                                   compression=compression)
    with writing(path, dictionary) as put:
        for start in range(0, n, 4096):
            rows = np.arange(start, min(n, start + 4096), dtype=np.float64)[:, None]
            numbers = rows * 0.001 + np.arange(2000)[None, :] * 1.37
            put(column_arrays(dictionary, {f"x{j}": numbers[:, j] for j in range(2000)}, 0, len(rows)))
    return n


def best(fn, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times)


def machine():
    model = "unknown processor"
    try:
        with open("/proc/cpuinfo") as f:
            model = next(line.split(":", 1)[1].strip() for line in f if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    return f"{model}, {os.cpu_count()} cores, {platform.python_implementation()} {platform.python_version()}"


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--mb", type=int, default=200, help="megabytes of case data (default 200)")
    p.add_argument("--repeat", type=int, default=5)
    p.add_argument("--timer", help="path of whole_case_in_timer (C figures skipped without it)")
    p.add_argument("--file", help="keep the file here instead of a temporary folder")
    args = p.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        path = args.file or os.path.join(tmp, "survey.vexa")
        cases = make_file(path, args.mb)
        data_mb = cases * 220 * 8 / 1e6
        print(f"{machine()}")
        print(f"file: {cases} cases of 1,760 bytes = {data_mb:.0f} MB of case data, "
              f"{os.path.getsize(path) / 1e6:.0f} MB on disk (byte-code)\n")
        rows = []
        if args.timer:
            out = subprocess.run([args.timer, path, str(args.repeat)], check=True,
                                 capture_output=True, text=True).stdout
            for line in out.splitlines():
                mode, seconds = line.split()[:2]
                rows.append((f"C vexaWholeCaseIn, {mode} buffer", float(seconds)))
        rows.append(("Python read_dataframe", best(lambda: vexaio.read_dataframe(path), args.repeat)))
        rows.append(("Python read_dataframe labels=True",
                     best(lambda: vexaio.read_dataframe(path, labels=True), args.repeat)))
        tenth = [f"q{i}" for i in range(0, 200, 10)] + ["s0", "s10"]
        rows.append(("Python read_dataframe, 10% of columns",
                     best(lambda: vexaio.read_dataframe(path, columns=tenth), args.repeat)))
        rows.append(("Python read", best(lambda: vexaio.read(path), args.repeat)))
        for name, seconds in rows:
            print(f"{name:40s} {seconds:8.3f} s {data_mb / seconds:8.0f} MB/s")
        times = dict(rows)
        print(f"\nsurvey: 10% of the columns / all of them: "
              f"{times['Python read_dataframe, 10% of columns'] / times['Python read_dataframe']:.2f}")
        wide = os.path.join(tmp, "wide.vexa")
        cases = make_wide_file(wide, args.mb)
        every_tenth = [f"x{j}" for j in range(0, 2000, 10)]
        whole = best(lambda: vexaio.read_dataframe(wide), args.repeat)
        tenth = best(lambda: vexaio.read_dataframe(wide, columns=every_tenth), args.repeat)
        print(f"wide ({cases} cases of 2,000 doubles, {os.path.getsize(wide) / 1e6:.0f} MB on disk): "
              f"all columns {whole:.3f} s, 10% of them {tenth:.3f} s; 10% / all: {tenth / whole:.2f}")
        print(f"(load average {os.getloadavg()[0]:.1f})")


if __name__ == "__main__":
    main()
