#!/usr/bin/env python3
"""Hostile clients against a running archive service, measured from outside.

    bench/hostile_clients.py PORT [--pid PID] [--slow N] [--seconds S] [--target T]

Opens N slow clients that trickle a request a byte a second and keep doing
so, then times normal requests meanwhile (p50, p99, worst), and tries the
other rude kinds once each: a request line of 16 KB, 200,000 headers, a
100 MB body on a GET, pipelined requests, a client that half-closes after
sending. With --pid, the service's resident memory before, at the worst
and after the slow clients left. Loopback only.
"""
import argparse
import asyncio
import os
import statistics
import time

TARGET = b"/xmlapi/boardgame/90?historical=1&page=1"


def rss_mb(pid):
    if not pid:
        return None
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return None


async def read_answer(reader):
    """Status of one answer, its body read by Content-Length."""
    head = await reader.readuntil(b"\r\n\r\n")
    status = int(head.split(b" ", 2)[1])
    length = 0
    for line in head.split(b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":", 1)[1])
    if length:
        await reader.readexactly(length)
    return status


async def normal_request(port):
    start = time.perf_counter()
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    writer.write(b"GET " + TARGET + b" HTTP/1.1\r\nHost: x\r\n\r\n")
    status = await read_answer(reader)
    writer.close()
    return status, time.perf_counter() - start


async def trickler(port, stop):
    try:
        reader, writer = await asyncio.open_connection("127.0.0.1", port)
        request = b"GET " + TARGET + b" HTTP/1.1\r\nHost: x\r\nX-Slow: " + b"a" * 100000
        for byte in request:
            if stop.is_set():
                break
            writer.write(bytes([byte]))
            await writer.drain()
            await asyncio.sleep(1)
        writer.close()
    except (ConnectionError, OSError):
        pass


async def raw(port, data, half_close=False, answers=1):
    """Statuses of the answers to data sent at once, and whether it closed."""
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    statuses = []
    try:
        writer.write(data)
        await writer.drain()
        if half_close:
            writer.write_eof()
        for _ in range(answers):
            statuses.append(await asyncio.wait_for(read_answer(reader), 10))
        closed = await asyncio.wait_for(reader.read(1), 10) == b""
    except (asyncio.IncompleteReadError, ConnectionError, asyncio.TimeoutError) as e:
        closed = type(e).__name__
    writer.close()
    return statuses, closed


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("--pid", type=int)
    parser.add_argument("--slow", type=int, default=1000)
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--target", help="the page asked for (default: game 90's first)")
    args = parser.parse_args()
    global TARGET
    if args.target:
        TARGET = args.target.encode()
    port = args.port

    print(f"memory at rest: {rss_mb(args.pid)} MB")
    get = b"GET " + TARGET + b" HTTP/1.1\r\nHost: x\r\n"
    print("request line of 16 KB:", await raw(port, b"GET /xmlapi/search?search=" + b"q" * 16384 + b" HTTP/1.1\r\nHost: x\r\n\r\n"))
    print("36 KB of headers:", await raw(port, get + b"".join(b"X-H%d: %s\r\n" % (i, b"v" * 100) for i in range(360)) + b"\r\n"))
    print("a GET with a body of 100 MB declared:", await raw(port, get + b"Content-Length: 100000000\r\n\r\n" + b"x" * 1000))
    print("three pipelined requests:", await raw(port, (get + b"\r\n") * 3, answers=3))
    print("half-closed after the request:", await raw(port, get + b"Connection: close\r\n\r\n", half_close=True))

    stop = asyncio.Event()
    slow = [asyncio.create_task(trickler(port, stop)) for _ in range(args.slow)]
    await asyncio.sleep(2)
    times, statuses, worst_rss = [], [], 0
    end = time.perf_counter() + args.seconds
    while time.perf_counter() < end:
        try:
            status, seconds = await asyncio.wait_for(normal_request(port), 60)
        except asyncio.TimeoutError:
            status, seconds = "timeout", 60
        statuses.append(status)
        times.append(seconds)
        worst_rss = max(worst_rss, rss_mb(args.pid) or 0)
        await asyncio.sleep(0.05)
    stop.set()
    await asyncio.gather(*slow)
    times.sort()
    print(f"{args.slow} slow clients: {len(times)} normal requests, statuses {sorted(set(map(str, statuses)))}, "
          f"p50 {statistics.median(times) * 1000:.1f} ms, p99 {times[int(len(times) * 0.99)] * 1000:.1f} ms, "
          f"worst {times[-1] * 1000:.1f} ms; memory at most {worst_rss} MB")
    await asyncio.sleep(2)
    print(f"memory after: {rss_mb(args.pid)} MB")


if __name__ == "__main__":
    asyncio.run(main())
