#!/usr/bin/env python3
"""Writing speed of the Python module. Makes a survey-like frame of ROWS rows
(integers, nullable integers, booleans, categoricals with labels, numbers
with missing values, short non-ASCII and long texts, dates and datetimes),
then times REPEAT runs of each (the best; the module's median and spread):

  C       vexaWholeCaseOut of the same cases from one prepared buffer
          (bench/whole_case_out_timer), byte-code compressed
  Python  vexaio.write_dataframe (byte-code), DataFrame.to_stata and
          DataFrame.to_pickle of the same frame

and the ratios the module aims at: at least 0.5x the C yardstick's speed and
3x to_stata's. Then the reading side of the same file: read_dataframe
against pandas.read_pickle.

  VEXAIO_LIBRARY=build/libvexaio.so PYTHONPATH=python \\
      python3 bench/write_dataframe_bench.py --timer build/bench/whole_case_out_timer
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time

import numpy as np
import pandas as pd

import vexaio
from read_dataframe_bench import best  # beside this script


def survey_frame(rows):
    rng = np.random.default_rng(1)
    gone = rng.random(rows) < 0.05
    towns = np.array(["Zürich", "Genève", "Bâle", "Lugano", "Bern"], dtype=object)
    return pd.DataFrame({
        "id": np.arange(rows, dtype=np.int64),
        "age": rng.integers(18, 95, rows),
        "children": pd.array(np.where(gone, None, rng.integers(0, 6, rows)), dtype="Int64"),
        "smoker": rng.random(rows) < 0.2,
        "region": pd.Categorical.from_codes(rng.integers(0, 4, rows), ["north", "south", "east", "west"]),
        "income": np.where(gone, np.nan, rng.lognormal(10, 1, rows).round(2)),
        "town": towns[rng.integers(0, len(towns), rows)],
        "remark": np.where(rng.random(rows) < 0.01, "a long remark " * 8, ""),
        "born": pd.to_datetime(rng.integers(-10000, 15000, rows), unit="D"),
        "visit": pd.to_datetime(1.6e9 + rng.integers(0, 10**8, rows), unit="s"),
    })


def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--rows", type=int, default=1_700_000)
    p.add_argument("--repeat", type=int, default=7)
    p.add_argument("--timer", help="path of whole_case_out_timer (C figures skipped without it)")
    args = p.parse_args()
    df = survey_frame(args.rows)
    with tempfile.TemporaryDirectory() as tmp:
        path, pickle = os.path.join(tmp, "survey.vexa"), os.path.join(tmp, "p.pkl")
        vexaio.write_dataframe(df, path)
        df.to_pickle(pickle)
        print(f"{args.rows} rows, {os.path.getsize(path) / 1e6:.0f} MB on disk (byte-code); "
              f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores\n")

        def c_yardstick():
            """Its best of REPEAT runs in one process (the first run of a
            process is slower: it pays for the output file's first pages)."""
            out = subprocess.run([args.timer, path, os.path.join(tmp, "c.vexa"), str(args.repeat)],
                                 check=True, capture_output=True, text=True).stdout
            return float(out.split()[1])  # "write S N SIZE"

        # The yardstick before and after the module's runs, the better of
        # the two; the module's best, median and spread.
        fastest = {}
        if args.timer:
            fastest["C vexaWholeCaseOut, one buffer"] = c_yardstick()
        for name, fn in [("write_dataframe", lambda: vexaio.write_dataframe(df, path)),
                         ("read_dataframe", lambda: vexaio.read_dataframe(path)),
                         ("pandas read_pickle", lambda: pd.read_pickle(pickle))]:
            seconds = [timed(fn) for _ in range(args.repeat)]
            fastest[name] = min(seconds)
            print(f"{name:34s} best {min(seconds):6.3f} s, median {statistics.median(seconds):6.3f} s, "
                  f"spread {max(seconds) - min(seconds):.3f} s")
        if args.timer:
            fastest["C vexaWholeCaseOut, one buffer"] = min(c_yardstick(),
                                                            fastest["C vexaWholeCaseOut, one buffer"])
            print(f"{'C vexaWholeCaseOut, one buffer':34s} best {fastest['C vexaWholeCaseOut, one buffer']:6.3f} s")
        medians = fastest
        medians["pandas to_stata"] = best(lambda: df.to_stata(os.path.join(tmp, "s.dta"),
                                                              write_index=False), 1)
        medians["pandas to_pickle"] = best(lambda: df.to_pickle(pickle), args.repeat)
        for name in ("pandas to_stata", "pandas to_pickle"):
            print(f"{name:34s} best {medians[name]:6.3f} s")
        mine = medians["write_dataframe"]
        if args.timer:
            print(f"\nwrite_dataframe speed / C yardstick's: {medians['C vexaWholeCaseOut, one buffer'] / mine:.2f} (aim: >= 0.5)")
        print(f"write_dataframe speed / to_stata's:    {medians['pandas to_stata'] / mine:.2f} (aim: >= 3)")
        print(f"read_dataframe time / read_pickle's:   {medians['read_dataframe'] / medians['pandas read_pickle']:.2f} (aim: <= 1)")
        print(f"(load average {os.getloadavg()[0]:.1f} at the end)")

if __name__ == "__main__":
    main()
