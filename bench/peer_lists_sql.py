"""Benchmark peer for the ranking lists: the same questions asked in SQL of the
pandas peer's table (ranks keyed (game, day), plus an index on (day, rank)),
as a user of that table would write them, through Python's sqlite3.

    python3 peer_lists_sql.py DATABASE QUERIES

QUERIES holds a question a line, one of
    top DAY COUNT [YEAR]
    movers FROM TO TOP
a line starting with "warm " is asked untimed first. For every other line it
prints the milliseconds the question took (execute and fetch) and the answer's
key fields: "rank:id;..." for top, "id:rank_from:rank_to:change:status;..."
for movers, empty ranks empty.
"""
import sqlite3
import sys
import time

# The day a list uses: that day, else the latest day before it.
DAY = "(SELECT max(day) FROM ranks WHERE day <= {})"
# A game's latest row: its name and year as they are now.
LATEST = "l.game = {0}.game AND l.day = (SELECT max(day) FROM ranks WHERE game = {0}.game)"

TOP = f"""
SELECT r.day, r.rank, r.game, l.name, l.year, r.average, r.bayesaverage, r.usersrated
FROM ranks r JOIN ranks l ON {LATEST.format('r')}
WHERE r.day = {DAY.format(':day')}
ORDER BY r.rank, r.game LIMIT :count"""

TOP_OF_YEAR = f"""
SELECT r.day, r.rank, r.game, l.name, l.year, r.average, r.bayesaverage, r.usersrated
FROM ranks r JOIN ranks l ON {LATEST.format('r')}
WHERE r.day = {DAY.format(':day')} AND l.year = :year
ORDER BY r.rank, r.game LIMIT :count"""

MOVERS = f"""
WITH f(day) AS (SELECT {DAY.format(':from_day')}),
     t(day) AS (SELECT {DAY.format(':to_day')}),
     chosen AS (
         SELECT game, max(in_from) AS in_from, max(in_to) AS in_to FROM (
             SELECT * FROM (SELECT game, 1 AS in_from, 0 AS in_to FROM ranks
                            WHERE day = (SELECT day FROM f) ORDER BY rank, game LIMIT :top)
             UNION ALL
             SELECT * FROM (SELECT game, 0, 1 FROM ranks
                            WHERE day = (SELECT day FROM t) ORDER BY rank, game LIMIT :top))
         GROUP BY game),
     moved AS (
         SELECT c.game, c.in_from, c.in_to, a.rank AS rank_from, b.rank AS rank_to,
                a.rank - b.rank AS change
         FROM chosen c
         LEFT JOIN ranks a ON a.game = c.game AND a.day = (SELECT day FROM f)
         LEFT JOIN ranks b ON b.game = c.game AND b.day = (SELECT day FROM t))
SELECT (SELECT day FROM f), (SELECT day FROM t), m.game, l.name, l.year,
       m.rank_from, m.rank_to, m.change,
       CASE WHEN m.in_from AND m.in_to THEN
                CASE WHEN m.change > 0 THEN 'up' WHEN m.change < 0 THEN 'down' ELSE 'same' END
            WHEN m.in_to THEN
                CASE WHEN m.rank_from IS NULL AND m.rank_to >
                          (SELECT max(rank) FROM ranks WHERE day = (SELECT day FROM f))
                     THEN 'not listed' ELSE 'entered' END
            ELSE
                CASE WHEN m.rank_to IS NULL AND m.rank_from >
                          (SELECT max(rank) FROM ranks WHERE day = (SELECT day FROM t))
                     THEN 'not listed' ELSE 'left' END
       END
FROM moved m JOIN ranks l ON {LATEST.format('m')}
ORDER BY m.change IS NULL, m.change DESC, m.rank_to IS NULL, m.rank_to,
         m.rank_from IS NULL, m.rank_from, m.game"""


def text(value):
    return "" if value is None else str(value)


def ask(connection, words):
    """The question's rows."""
    if words[0] == "top":
        parameters = {"day": words[1], "count": int(words[2])}
        if len(words) > 3:
            parameters["year"] = int(words[3])
        return connection.execute(TOP_OF_YEAR if len(words) > 3 else TOP, parameters).fetchall()
    return connection.execute(MOVERS, {"from_day": words[1], "to_day": words[2],
                                       "top": int(words[3])}).fetchall()


def keys(kind, rows):
    """The answer's key fields."""
    if kind == "top":
        return ";".join(f"{row[1]}:{row[2]}" for row in rows)
    return ";".join(":".join(text(v) for v in (row[2], row[5], row[6], row[7], row[8]))
                    for row in rows)


def main():
    database, queries = sys.argv[1], sys.argv[2]
    connection = sqlite3.connect(f"file:{database}?mode=ro", uri=True)
    with open(queries, encoding="utf-8") as file:
        lines = [line.split() for line in file if line.strip()]
    for words in lines:
        if words[0] == "warm":
            ask(connection, words[1:])
    for words in lines:
        if words[0] != "warm":
            start = time.perf_counter()
            rows = ask(connection, words)
            ms = (time.perf_counter() - start) * 1000
            print(f"{ms:.3f} {keys(words[0], rows)}")


main()
