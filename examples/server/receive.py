#!/usr/bin/env python3
"""Receives the control's uploads and stores the parts FILE1, FILE2, ...

Python 3 standard library only. Run it as a server on 127.0.0.1:

    BRIMLET_UPLOAD_DIR=/srv/uploads BRIMLET_PORT=8080 python3 receive.py

Environment:
    BRIMLET_UPLOAD_DIR  folder the files go to (default: "uploads" beside
                        this script; created when missing)
    BRIMLET_PORT        port to listen on (default 8080; 0 picks a free one)
    BRIMLET_PORT_FILE   when set, the port actually listened on is written
                        there (with a final newline) once the server listens

The body is parsed as it arrives, never held in memory: a part is written to
its file piece by piece. The stored name follows the rules every receiver in
this folder shares (see README.md): the base name of the path the control
sends, decoded from CP949, with reserved characters replaced, and a
" (2)", " (3)", ... before the extension when the name is taken.
"""

import http.server
import os
import re
import sys

UPLOAD_DIR = os.environ.get("BRIMLET_UPLOAD_DIR") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "uploads")

PIECE = 65536
MAX_HEADER_BYTES = 16384
MAX_NAME_BYTES = 200
MAX_SUFFIX = 9999
FIELD = re.compile(r"^FILE[1-9][0-9]*$")
RESERVED = re.compile(r'[\x00-\x1f\x7f<>:"/\\|?*]')
DEVICE = re.compile(r"^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\.|$)", re.IGNORECASE)


# ---------------------------------------------------------------- names

def base_name(raw):
    """The bytes after the last backslash or slash. CP949 never uses either
    byte inside a double-byte character, so a byte search is safe."""
    cut = max(raw.rfind(b"\\"), raw.rfind(b"/"))
    return raw[cut + 1:]


def decode_name(raw):
    """The control sends names in the Korean ANSI code page; a name that is
    not valid CP949 keeps its ASCII and loses the rest to '_'."""
    try:
        return raw.decode("cp949")
    except UnicodeDecodeError:
        return "".join(chr(b) if b < 0x80 else "_" for b in raw)


def split_extension(name):
    dot = name.rfind(".")
    if dot <= 0:
        return name, ""
    return name[:dot], name[dot:]


def limit_length(name):
    if len(name.encode()) <= MAX_NAME_BYTES:
        return name
    stem, ext = split_extension(name)
    if len(ext.encode()) > 16:
        stem, ext = name, ""
    budget = MAX_NAME_BYTES - len(ext.encode())
    kept, used = [], 0
    for ch in stem:
        used += len(ch.encode())
        if used > budget:
            break
        kept.append(ch)
    return "".join(kept) + ext


def safe_name(raw_filename, field):
    """The name a part is stored under, never a path: no separators, no
    leading dots (so neither '..' nor hidden files), no device names."""
    name = RESERVED.sub("_", decode_name(base_name(raw_filename))).strip(" .")
    if DEVICE.match(name):
        name = "_" + name
    if not name:
        name = field
    return limit_length(name)


def create_unique(folder, name):
    """Opens a new file for `name` in `folder`, or for "stem (n).ext" when
    the name is taken; never opens an existing file."""
    stem, ext = split_extension(name)
    for n in range(1, MAX_SUFFIX + 1):
        candidate = name if n == 1 else "%s (%d)%s" % (stem, n, ext)
        try:
            fd = os.open(os.path.join(folder, candidate),
                         os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
            return fd, candidate
        except FileExistsError:
            continue
    raise OSError("no free name for " + name)


# ---------------------------------------------------------------- parsing

class BodyCutShort(Exception):
    pass


class BadBody(Exception):
    pass


class Body:
    """The request body as a buffer that refills from the socket, never
    beyond the declared length."""

    def __init__(self, stream, length):
        self.stream = stream
        self.left = length
        self.buffer = b""

    def fill(self):
        if self.left <= 0:
            return False
        piece = self.stream.read(min(PIECE, self.left))
        if not piece:
            raise BodyCutShort()
        self.left -= len(piece)
        self.buffer += piece
        return True


def parameter(header, name):
    match = re.search(rb'(?:^|;)\s*' + name + rb'=(?:"([^"]*)"|([^;\s]*))', header,
                      re.IGNORECASE)
    if not match:
        return None
    return match.group(1) if match.group(1) is not None else match.group(2)


def parse_headers(block):
    headers = {}
    for line in block.split(b"\r\n"):
        key, colon, value = line.partition(b":")
        if colon:
            headers[key.strip().lower()] = value.strip()
    return headers


def receive_parts(body, boundary, on_part):
    """Walks the multipart body; for each part calls on_part(headers) which
    returns a writer (write(bytes), close(), discard()) or None to skip."""
    delimiter = b"--" + boundary
    marker = b"\r\n" + delimiter
    # The first delimiter may follow a preamble; treat the body as if it
    # started with CR LF so one search finds either.
    body.buffer = b"\r\n" + body.buffer
    while marker not in body.buffer:
        keep = body.buffer[-(len(marker) - 1):]
        body.buffer = keep
        if not body.fill():
            raise BadBody("no multipart delimiter")
    body.buffer = body.buffer[body.buffer.index(marker) + len(marker):]
    while True:
        while len(body.buffer) < 2:
            if not body.fill():
                raise BodyCutShort()
        if body.buffer.startswith(b"--"):
            return
        while b"\r\n\r\n" not in body.buffer:
            if len(body.buffer) > MAX_HEADER_BYTES:
                raise BadBody("part header too long")
            if not body.fill():
                raise BodyCutShort()
        line_end = body.buffer.index(b"\r\n")
        if body.buffer[:line_end].strip(b" \t"):
            raise BadBody("junk after a delimiter")
        head_end = body.buffer.index(b"\r\n\r\n")
        headers = parse_headers(body.buffer[line_end + 2:head_end])
        body.buffer = body.buffer[head_end + 4:]
        writer = on_part(headers)
        try:
            while True:
                at = body.buffer.find(marker)
                if at >= 0:
                    if writer:
                        writer.write(body.buffer[:at])
                    body.buffer = body.buffer[at + len(marker):]
                    break
                safe = len(body.buffer) - (len(marker) - 1)
                if safe > 0:
                    if writer:
                        writer.write(body.buffer[:safe])
                    body.buffer = body.buffer[safe:]
                if not body.fill():
                    raise BodyCutShort()
        except BaseException:
            if writer:
                writer.discard()
            raise
        if writer:
            writer.close()


class StoredFile:
    """One part's file; it counts as stored only once its data ended at a
    delimiter, and a part cut short leaves no file behind."""

    def __init__(self, folder, raw_filename, field, stored):
        self.fd, self.name = create_unique(folder, safe_name(raw_filename, field))
        self.path = os.path.join(folder, self.name)
        self.stored = stored

    def write(self, data):
        view = memoryview(data)
        while view:
            view = view[os.write(self.fd, view):]

    def close(self):
        os.close(self.fd)
        self.stored.append(self.name)

    def discard(self):
        os.close(self.fd)
        os.unlink(self.path)


# ---------------------------------------------------------------- server

def files_text(count):
    return "%d file%s" % (count, "" if count == 1 else "s")


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "BrimletReceiver/1.0"

    def reply(self, status, text):
        data = (text + "\r\n").encode("ascii")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=us-ascii")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def do_GET(self):
        self.reply(200, "Upload receiver: POST the files as FILE1, FILE2, ...")

    def do_POST(self):
        content_type = self.headers.get("Content-Type", "").encode("latin-1")
        boundary = parameter(content_type, rb"boundary")
        if not content_type.lower().startswith(b"multipart/form-data") or not boundary:
            self.reply(400, "Not a multipart upload.")
            return
        length = self.headers.get("Content-Length", "")
        if not length.isdigit():
            self.reply(411, "Content-Length is required.")
            return
        os.makedirs(UPLOAD_DIR, exist_ok=True)
        stored, failed = [], [0]

        def on_part(headers):
            disposition = headers.get(b"content-disposition", b"")
            field = (parameter(disposition, rb"name") or b"").decode("latin-1")
            filename = parameter(disposition, rb"filename")
            if not FIELD.match(field) or not filename:
                return None
            try:
                return StoredFile(UPLOAD_DIR, filename, field, stored)
            except OSError as error:
                self.log_message("cannot store %s: %s", field, error)
                failed[0] += 1
                return None

        try:
            receive_parts(Body(self.rfile, int(length)), boundary, on_part)
        except BodyCutShort:
            self.reply(400, "Upload cut short; stored %s." % files_text(len(stored)))
            return
        except BadBody as error:
            self.reply(400, "Bad upload body (%s); stored %s." % (error, files_text(len(stored))))
            return
        if failed[0]:
            self.reply(500, "Stored %s; %d could not be stored." % (files_text(len(stored)), failed[0]))
        else:
            self.reply(200, "Stored %s." % files_text(len(stored)))


def main():
    port = int(os.environ.get("BRIMLET_PORT", "8080"))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
    port_file = os.environ.get("BRIMLET_PORT_FILE")
    if port_file:
        with open(port_file + ".tmp", "w") as out:
            out.write("%d\n" % server.server_address[1])
        os.replace(port_file + ".tmp", port_file)
    sys.stderr.write("listening on 127.0.0.1:%d, storing into %s\n"
                     % (server.server_address[1], UPLOAD_DIR))
    sys.stderr.flush()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
