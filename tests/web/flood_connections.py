#!/usr/bin/env python3
"""Holds many TCP connections to the teacher's web server, as a script on a pupil's
laptop would: each from a loopback address of its own (127.x.y.z are separate devices),
idle or with a request begun and never finished. Prints "offen N" once every connection
is open (or refused) and keeps them until its standard input closes.

    flood_connections.py PORT COUNT MODE FIRST
MODE: idle (send nothing), half ("GET /ws HTTP/1.1" and one header line), mixed (every
second one half). FIRST: the number of the first address, so that runs do not meet.
"""
import errno
import resource
import select
import socket
import sys


def address(n):
    return "127.%d.%d.%d" % (10 + n // 62500, (n // 250) % 250, n % 250 + 1)


def main():
    port, count, mode, first = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
    # The teacher's test runs with few descriptors; this process needs its own.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, max(soft, count + 64)), hard))
    sockets = []
    for i in range(count):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setblocking(False)
        try:
            s.bind((address(first + i), 0))
        except OSError:
            s.close()
            continue
        err = s.connect_ex(("127.0.0.1", port))
        if err not in (0, errno.EINPROGRESS):
            s.close()
            continue
        sockets.append(s)
    # Wait until each connection is made (or refused), then begin the requests.
    pending = list(sockets)
    opened = []
    for _ in range(200):
        if not pending:
            break
        _, writable, _ = select.select([], pending, [], 0.05)
        for s in writable:
            pending.remove(s)
            if s.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR) == 0:
                opened.append(s)
            else:
                s.close()
    for i, s in enumerate(opened):
        if mode == "half" or (mode == "mixed" and i % 2):
            try:
                s.send(b"GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\n")
            except OSError:
                pass
    print("offen %d" % len(opened), flush=True)
    sys.stdin.read()
    for s in opened:
        s.close()


if __name__ == "__main__":
    main()
