#!/usr/bin/env python3
"""Hostile clients against a running archive service, measured from outside.

    bench/hostile_clients.py PORT [--pid PID] [--slow N] [--seconds S] [--target T]

Opens N slow clients that trickle a request a byte a second and keep doing
so, then times normal requests meanwhile (p50, p99, worst), and tries the
other rude kinds once each: a request line of 16 KB, 36 KB of headers, a
100 MB body declared on a GET, pipelined requests, a client that
half-closes after sending. Then 16 clients at once each sending a request
of 200,000 headers, and 16 each sending a GET with a body of 100 MB, and
one client that trickles a request with no end (how long until it is
closed). With --pid, the service's resident memory before, at the worst
and after each crowd. Loopback only.
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


async def oversized(port, head, body_bytes=0):
    """Sends head (and body_bytes more) as fast as the service takes them;
    the status it answered, or how the connection ended."""
    try:
        reader, writer = await asyncio.open_connection("127.0.0.1", port)
    except OSError as e:
        return type(e).__name__
    try:
        writer.write(head)
        await writer.drain()
        chunk = b"x" * (1 << 20)
        for _ in range(body_bytes // len(chunk)):
            writer.write(chunk)
            await writer.drain()
        return await asyncio.wait_for(read_answer(reader), 30)
    except (asyncio.IncompleteReadError, ConnectionError, asyncio.TimeoutError) as e:
        # The answer may have come before the send failed.
        try:
            return await asyncio.wait_for(read_answer(reader), 1)
        except Exception:
            return type(e).__name__
    finally:
        writer.close()


async def crowd(port, pid, what, make):
    """16 clients at once; the statuses and the memory at most and after."""
    worst = rss_mb(pid) or 0
    done = asyncio.Event()

    async def watch():
        nonlocal worst
        while not done.is_set():
            worst = max(worst, rss_mb(pid) or 0)
            await asyncio.sleep(0.02)

    watcher = asyncio.create_task(watch())
    statuses = await asyncio.gather(*(make() for _ in range(16)))
    done.set()
    await watcher
    await asyncio.sleep(1)
    print(f"16 clients each sending {what}: answers {sorted(set(map(str, statuses)))}; "
          f"memory at most {worst:.0f} MB, after {rss_mb(pid) or 0:.0f} MB")


async def endless(port):
    """A request trickled a byte a second with no end: seconds until closed."""
    start = time.perf_counter()
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    try:
        writer.write(b"GET " + TARGET + b" HTTP/1.1\r\nHost: x\r\n")
        while True:
            writer.write(b"X")
            await writer.drain()
            try:
                if await asyncio.wait_for(reader.read(1), 1) == b"":
                    break
            except asyncio.TimeoutError:
                pass
            if time.perf_counter() - start > 120:
                break
    except ConnectionError:
        pass
    writer.close()
    return time.perf_counter() - start


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

    many_headers = get + b"".join(b"X-H%d: v\r\n" % i for i in range(200000)) + b"\r\n"
    await crowd(port, args.pid, "200,000 headers", lambda: oversized(port, many_headers))
    await crowd(port, args.pid, "a GET with a body of 100 MB",
                lambda: oversized(port, get + b"Content-Length: 100000000\r\n\r\n", 100000000))
    endless_client = asyncio.create_task(endless(port))

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
    print(f"a request trickled with no end: closed after {await endless_client:.0f} s")


if __name__ == "__main__":
    asyncio.run(main())
