#!/usr/bin/env python3
"""Builds examples/school.sqlite from examples/scores.csv and examples/teeth.csv.

Run from the repository's top folder: python3 examples/make_school.py
The database is committed; nothing needs to run this script.
"""
import csv
import os
import sqlite3

HERE = os.path.dirname(os.path.abspath(__file__))
TABLES = {
    "scores": ("school TEXT, math INTEGER, reading INTEGER, count INTEGER, weight REAL",
               "scores.csv"),
    "teeth": ("len REAL, supp VARCHAR(2), dose REAL", "teeth.csv"),
}


def main():
    path = os.path.join(HERE, "school.sqlite")
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    for table, (columns, source) in TABLES.items():
        db.execute(f"CREATE TABLE {table} ({columns})")
        with open(os.path.join(HERE, source), newline="") as f:
            rows = list(csv.reader(f))
        marks = ", ".join("?" * len(rows[0]))
        db.executemany(f"INSERT INTO {table} VALUES ({marks})", rows[1:])
    db.commit()
    db.execute("VACUUM")
    db.close()


if __name__ == "__main__":
    main()
