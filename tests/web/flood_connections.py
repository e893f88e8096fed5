#!/usr/bin/env python3
"""Holds many TCP connections to the teacher's web server, as a script on a pupil's
laptop would: each from a loopback address of its own (127.x.y.z are separate devices),
idle or with a request begun and never finished. Prints "offen N" once every connection
is open (or refused) and keeps them until its standard input closes.

    flood_connections.py PORT COUNT MODE FIRST
MODE: idle (send nothing), half ("GET /ws HTTP/1.1" and one header line), mixed (every
second one half), header (a megabyte of header lines behind "GET /ws", printing for each
connection "zu BYTES" when the server closed it, "offen BYTES" when it did not, then
"fertig"). FIRST: the number of the first address, so that runs do not meet.
With a fifth argument "hold" a connection the server closes is opened again at once, so
that the count stays held until the end.
"""
import errno
import resource
import select
import socket
import sys


def address(n):
    return "127.%d.%d.%d" % (10 + n // 62500, (n // 250) % 250, n % 250 + 1)


def begin(s, i, mode):
    if mode == "half" or (mode == "mixed" and i % 2):
        try:
            s.send(b"GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\n")
        except OSError:
            pass


def connect(i, first, port):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setblocking(False)
    try:
        s.bind((address(first + i), 0))
    except OSError:
        s.close()
        return None
    if s.connect_ex(("127.0.0.1", port)) not in (0, errno.EINPROGRESS):
        s.close()
        return None
    return s


def hold(opened, first, port, mode):
    # Until standard input closes: whatever the server closed is opened again.
    index = {s: i for i, s in enumerate(opened)}
    connecting = {}
    while True:
        readable, writable, _ = select.select([sys.stdin] + list(index), list(connecting), [], 0.2)
        if sys.stdin in readable and sys.stdin.read(1) == "":
            break
        for s in writable:
            i = connecting.pop(s)
            if s.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR) == 0:
                index[s] = i
                begin(s, i, mode)
            else:
                s.close()
                fresh = connect(i, first, port)
                if fresh is not None:
                    connecting[fresh] = i
        for s in readable:
            if s is sys.stdin:
                continue
            try:
                if s.recv(4096):
                    continue
            except BlockingIOError:
                continue
            except OSError:
                pass
            i = index.pop(s)
            s.close()
            fresh = connect(i, first, port)
            if fresh is not None:
                connecting[fresh] = i
    for s in list(index) + list(connecting):
        s.close()


def headers(opened, limit):
    # Header lines behind the WebSocket's path, a megabyte each at most, until the
    # server closes: prints how much went out in all.
    line = b"X-Fill: " + b"x" * 1000 + b"\r\n"
    sent = {}
    for s in opened:
        try:
            sent[s] = s.send(b"GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n")
        except OSError:
            pass
    while sent:
        _, writable, _ = select.select([], list(sent), [], 1.0)
        if not writable:
            break
        for s in writable:
            try:
                sent[s] += s.send(line)
            except BlockingIOError:
                continue
            except OSError:
                print("zu %d" % sent.pop(s), flush=True)
                continue
            if sent[s] >= limit:
                print("offen %d" % sent.pop(s), flush=True)


def main():
    port, count, mode, first = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
    holding = len(sys.argv) > 5 and sys.argv[5] == "hold"
    # The teacher's test runs with few descriptors; this process needs its own.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, max(soft, count + 64)), hard))
    sockets = [s for s in (connect(i, first, port) for i in range(count)) if s is not None]
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
    if mode == "header":
        headers(opened, 1 << 20)
        print("fertig", flush=True)
        sys.stdin.read()
        return
    for i, s in enumerate(opened):
        begin(s, i, mode)
    print("offen %d" % len(opened), flush=True)
    if holding:
        hold(opened, first, port, mode)
        return
    sys.stdin.read()
    for s in opened:
        s.close()


if __name__ == "__main__":
    main()
