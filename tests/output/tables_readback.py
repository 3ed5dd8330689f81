#!/usr/bin/env python3
"""Reads the table files of --tables-dir back with Python's csv module, as a
user's script would, and compares every header and value with the JSON of the
same run.

    tables_readback.py VYN EXAMPLES_DIR PROGRAM...

Each program runs with its data in EXAMPLES_DIR. A file holds the rows of one
table name of one step, in the order the JSON lists them; its header is the BY
variables and then the union of the columns of those tables. Numbers must read
back to the same double, missing values must be empty cells.
"""
import csv
import json
import os
import re
import subprocess
import sys
import tempfile

MISSING = re.compile(r"\.[A-Z_]?")  # how the JSON writes a numeric missing value


def expected_files(doc):
    """{file name: (header, rows)} as the JSON says the table files must be."""
    files = {}
    for number, step in enumerate(doc["steps"], 1):
        for item in step["output"]:
            if item["type"] != "table":
                continue
            name = f"step{number}_{item['name']}.csv"
            header, rows = files.setdefault(name, ([], []))
            by = [b["name"] for b in item.get("by", [])]
            for column in by + [c["name"] for c in item["columns"]]:
                if column not in header:
                    header.append(column)
            numeric = [c["type"] == "num" for c in item["columns"]]
            for row in item["rows"]:
                cells = {b["name"]: (b["value"], MISSING.fullmatch(str(b["value"])) is not None)
                         for b in item.get("by", [])}
                cells.update(zip([c["name"] for c in item["columns"]], zip(row, numeric)))
                rows.append(cells)
    return files


def same(cell, text):
    """A JSON cell (value, numeric) and the text of the CSV field."""
    value, numeric = cell
    if isinstance(value, (int, float)):
        return text != "" and float(text) == value
    if numeric:  # a missing value: ".", ".A", "._", ...
        return text == ""
    return text == value.rstrip()


def check(vyn, data_dir, program):
    faults = []
    with tempfile.TemporaryDirectory() as tmp:
        tables, out = os.path.join(tmp, "tables"), os.path.join(tmp, "out.json")
        run = subprocess.run([vyn, program, "--data-dir", data_dir, "--quiet", "--json", out,
                              "--tables-dir", tables, "--listing", os.path.join(tmp, "l.lst")],
                             capture_output=True, text=True)
        if run.returncode not in (0, 1):
            return [f"{program}: rc {run.returncode}: {run.stderr.strip()}"]
        with open(out, encoding="utf-8") as f:
            files = expected_files(json.load(f))
        written = sorted(os.listdir(tables))
        if written != sorted(files):
            faults.append(f"{program}: files {written}, JSON tables {sorted(files)}")
        for name, (header, rows) in files.items():
            path = os.path.join(tables, name)
            if not os.path.exists(path):
                continue
            with open(path, newline="", encoding="utf-8") as f:
                records = list(csv.reader(f))
            if records[0] != header:
                faults.append(f"{program} {name}: header {records[0]} != {header}")
                continue
            if len(records) - 1 != len(rows):
                faults.append(f"{program} {name}: {len(records) - 1} rows, JSON {len(rows)}")
            for line, (record, cells) in enumerate(zip(records[1:], rows), 2):
                for column, text in zip(header, record):
                    if column in cells and not same(cells[column], text):
                        faults.append(f"{program} {name} line {line} {column}: "
                                      f"{text!r} != {cells[column]!r}")
                    elif column not in cells and text != "":
                        faults.append(f"{program} {name} line {line} {column}: {text!r} not empty")
    return faults


def main():
    vyn, data_dir, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
    faults = [f for p in programs for f in check(vyn, data_dir, p)]
    for f in faults[:40]:
        print(f)
    print(f"{len(programs)} programs, {len(faults)} differences")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
