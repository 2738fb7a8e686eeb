#!/usr/bin/env python3
"""Writes a survey-like CSV for timing `vexa import`: by default 2.2 million
rows of about 200 MB (an id, small codes, amounts, an ISO date, a code
letter, a name, a free-text comment, a town and a count, some of it quoted or empty).

Usage: make_survey_csv.py OUT.csv [ROWS]
Time the import with: /usr/bin/time -v vexa import OUT.csv out.vexa
"""
import random
import sys


def main():
    out = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 2_200_000
    rng = random.Random(20240301)
    names = ["Ann Berg", "Carl Dunn", "Eva Holm", "Jon Lind", "Mia Strand"]
    cities = ["Lakeside", "Northbridge", "Old Harbour", "Westfield"]
    comments = ["Friendly staff, quick service.", "Parking was hard to find",
                "", "Would come again", "Too long a wait at the desk",
                'Said "fine" and left']
    with open(out, "w", newline="") as f:
        f.write("id,age,satisfaction,income,visit_date,region,interviewer,"
                "comment,wt,city,household\n")
        for i in range(rows):
            comment = rng.choice(comments)
            if "," in comment or '"' in comment:
                comment = '"' + comment.replace('"', '""') + '"'
            f.write("%d,%d,%d,%.2f,2024-%02d-%02d,%s,%s,%s,%.2f,%s,%d\n" % (
                100000000000 + i, rng.randint(18, 90), rng.randint(1, 5),
                rng.uniform(800, 9000), rng.randint(1, 12), rng.randint(1, 28),
                rng.choice("NSEW"), rng.choice(names), comment,
                rng.uniform(0.2, 2.0), rng.choice(cities),
                rng.randint(1, 8)))


if __name__ == "__main__":
    main()
