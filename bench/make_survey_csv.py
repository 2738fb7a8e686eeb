#!/usr/bin/env python3
"""Writes a survey-like CSV for timing `vexa import`: by default 2.2 million
rows of about 200 MB (an id, small codes, amounts, an ISO date, a code
letter, a name, a free-text comment, a town and a count, some of it quoted or empty).

Usage: make_survey_csv.py OUT.csv [ROWS] [--european]
Time the import with: /usr/bin/time -v vexa import OUT.csv out.vexa

--european writes the same data as a spreadsheet set to European
conventions would: semicolons between fields, amounts with a decimal comma
and a point between thousands ("1.234,56"); import it with
--decimal comma --thousands . --na NA.
"""
import random
import sys


def main():
    european = "--european" in sys.argv
    args = [a for a in sys.argv[1:] if a != "--european"]
    out = args[0]
    rows = int(args[1]) if len(args) > 1 else 2_200_000
    sep = ";" if european else ","

    def amount(x):
        text = "%.2f" % x
        if not european:
            return text
        whole, cents = text.split(".")
        groups = []
        while len(whole) > 3:
            groups.insert(0, whole[-3:])
            whole = whole[:-3]
        return ".".join([whole] + groups) + "," + cents

    rng = random.Random(20240301)
    names = ["Ann Berg", "Carl Dunn", "Eva Holm", "Jon Lind", "Mia Strand"]
    cities = ["Lakeside", "Northbridge", "Old Harbour", "Westfield"]
    comments = ["Friendly staff, quick service.", "Parking was hard to find",
                "", "Would come again", "Too long a wait at the desk",
                'Said "fine" and left']
    with open(out, "w", newline="") as f:
        f.write(sep.join(["id", "age", "satisfaction", "income", "visit_date", "region",
                          "interviewer", "comment", "wt", "city", "household"]) + "\n")
        for i in range(rows):
            comment = rng.choice(comments)
            if sep in comment or "," in comment or '"' in comment:
                comment = '"' + comment.replace('"', '""') + '"'
            f.write(sep.join([
                "%d" % (100000000000 + i), "%d" % rng.randint(18, 90),
                "%d" % rng.randint(1, 5), amount(rng.uniform(800, 9000)),
                "2024-%02d-%02d" % (rng.randint(1, 12), rng.randint(1, 28)),
                rng.choice("NSEW"), rng.choice(names), comment,
                amount(rng.uniform(0.2, 2.0)), rng.choice(cities),
                "%d" % rng.randint(1, 8)]) + "\n")


if __name__ == "__main__":
    main()
