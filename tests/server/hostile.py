#!/usr/bin/env python3
"""Clients that no browser and no control would be, against a receiver on
127.0.0.1, each printing what it saw on one line:

  hostile.py early PORT   status of the answer to a 200 MiB upload with a
                          wrong token, of which 1000 bytes are sent ("none"
                          when no answer came within 5 s)
  hostile.py length PORT  status and text of the answer to each request
                          whose Content-Length cannot be trusted
  hostile.py hold PORT N  N uploads stop a third of the way through: the
                          status of a GET then, and once the receiver's idle
                          limit has passed, and how many of the N it closed
"""

import os
import socket
import sys
import time

TOKEN = "X-Upload-Token: " + os.environ.get("BRIMLET_UPLOAD_TOKEN", "")
MULTIPART = "Content-Type: multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY"


def connect(port, timeout=5):
    return socket.create_connection(("127.0.0.1", port), timeout=timeout)


def answer(connection):
    """Status and first line of the body, or "none"."""
    data = b""
    try:
        while True:
            piece = connection.recv(65536)
            if not piece:
                break
            data += piece
    except OSError:
        pass
    if not data.startswith(b"HTTP/"):
        return "none"
    head, _, body = data.partition(b"\r\n\r\n")
    return head.split(b" ")[1].decode() + " " + body.split(b"\r\n")[0].decode("latin-1")


def early(port):
    connection = connect(port)
    connection.sendall(("POST /receive HTTP/1.0\r\n%s\r\nX-Upload-Token: forged\r\n"
                        "Content-Length: %d\r\n\r\n" % (MULTIPART, 200 << 20)).encode() + b"x" * 1000)
    print(answer(connection).split(" ")[0])


def length(port):
    for lines in ("Content-Length: \u00b2", "Content-Length: 5\r\nContent-Length: 5",
                  "Content-Length: 5\r\nContent-Length: 6", "Content-Length: 5\r\nTransfer-Encoding: chunked"):
        connection = connect(port)
        connection.sendall(("POST /receive HTTP/1.1\r\nHost: x\r\n%s\r\n%s\r\n%s\r\n\r\n12345"
                            % (MULTIPART, TOKEN, lines)).encode("latin-1"))
        print(answer(connection), end="|")
    print()


def hold(port, count):
    held = []
    for _ in range(count):
        connection = connect(port)
        connection.sendall(("POST /receive HTTP/1.0\r\n%s\r\n%s\r\nContent-Length: 700\r\n\r\n"
                            % (MULTIPART, TOKEN)).encode() + b"----MULTI" * 20)
        held.append(connection)
    time.sleep(0.5)
    first = answer(get(port))
    closed, start = set(), time.monotonic()
    while len(closed) < count and time.monotonic() - start < 10:
        for number, connection in enumerate(held):
            connection.settimeout(0.05)
            try:
                if not connection.recv(65536):
                    closed.add(number)
            except socket.timeout:
                pass
            except OSError:
                closed.add(number)
    print(first.split(" ")[0], answer(get(port)).split(" ")[0], len(closed))


def get(port):
    connection = connect(port)
    connection.sendall(b"GET /receive HTTP/1.0\r\n\r\n")
    return connection


if __name__ == "__main__":
    {"early": early, "length": length, "hold": hold}[sys.argv[1]](int(sys.argv[2]), *map(int, sys.argv[3:]))
