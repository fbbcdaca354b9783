"""Benchmark peer (b): Python's csv module and sqlite3's executemany, all
files in one transaction, into a new SQLite database keyed (game, day).

    python3 peer_csv.py FOLDER DATABASE
"""
import csv
import glob
import os
import sqlite3
import sys


def rows(path, day):
    seen = set()
    with open(path, newline="", encoding="utf-8-sig", errors="replace") as file:
        for row in csv.DictReader(file):
            try:
                game = int(row["ID"])
                record = (game, day, row["Name"], int(row["Year"] or 0), int(row["Rank"]),
                          float(row["Average"]), float(row["Bayes average"]),
                          int(row["Users rated"]))
            except (TypeError, ValueError):
                continue
            if game not in seen:  # the first row of an ID wins
                seen.add(game)
                yield record


def main():
    folder, database = sys.argv[1], sys.argv[2]
    connection = sqlite3.connect(database)
    connection.execute("CREATE TABLE ranks(game INTEGER, day TEXT, name TEXT, year INTEGER,"
                       " rank INTEGER, average REAL, bayesaverage REAL, usersrated INTEGER,"
                       " PRIMARY KEY(game, day))")
    with connection:
        for path in sorted(glob.glob(os.path.join(folder, "*.csv"))):
            try:
                connection.executemany("INSERT OR REPLACE INTO ranks VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
                                       rows(path, os.path.basename(path)[:10]))
            except csv.Error as error:
                print(f"{path}: {error}", file=sys.stderr)
    connection.close()


main()
