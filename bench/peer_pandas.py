"""Benchmark peer (a): what a user would write with pandas. Every snapshot
file of FOLDER is read with read_csv, the frames are concatenated and written
with to_sql into a new SQLite database keyed (game, day).

    python3 peer_pandas.py FOLDER DATABASE
"""
import glob
import os
import sqlite3
import sys

import pandas as pd

COLUMNS = ["ID", "Name", "Year", "Rank", "Average", "Bayes average", "Users rated"]


def main():
    folder, database = sys.argv[1], sys.argv[2]
    frames = []
    for path in sorted(glob.glob(os.path.join(folder, "*.csv"))):
        try:
            frame = pd.read_csv(path, usecols=COLUMNS, encoding="utf-8-sig")
        except (pd.errors.ParserError, ValueError) as error:
            print(f"{path}: {error}", file=sys.stderr)
            continue
        frame = frame.drop_duplicates("ID")  # the first row of an ID wins
        frame["day"] = os.path.basename(path)[:10]
        frames.append(frame)
    data = pd.concat(frames, ignore_index=True)
    data = data.drop_duplicates(["ID", "day"], keep="last")  # the last file of a day
    data = data.rename(columns={"ID": "game", "Name": "name", "Year": "year", "Rank": "rank",
                                "Average": "average", "Bayes average": "bayesaverage",
                                "Users rated": "usersrated"})
    connection = sqlite3.connect(database)
    connection.execute("CREATE TABLE ranks(game INTEGER, day TEXT, name TEXT, year INTEGER,"
                       " rank INTEGER, average REAL, bayesaverage REAL, usersrated INTEGER,"
                       " PRIMARY KEY(game, day))")
    data.to_sql("ranks", connection, if_exists="append", index=False)
    connection.commit()
    connection.close()


main()
