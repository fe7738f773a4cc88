#!/usr/bin/env python3
"""Receives the control's uploads and stores the parts FILE1, FILE2, ...

Python 3 standard library only. Run it as a server on 127.0.0.1:

    BRIMLET_UPLOAD_DIR=/srv/uploads BRIMLET_PORT=8080 python3 receive.py

The settings below, and the rules every receiver in this folder shares, are
explained in README.md. In short: the name on disk is made here, never taken
from the client; the client's name, size and type go to the folder's
index.tsv and into the reply; an upload that breaks a limit, or does not
arrive whole, stores nothing. With ?reply=json the reply is JSON, listing the
files and the page's form fields too; with an upload token set, a request
without it in X-Upload-Token is refused. A page on another origin may upload
only when its origin is in ALLOWED_ORIGINS.

The body is parsed as it arrives, never held in memory: a part is written to
its file piece by piece.
"""

import fcntl
import hmac
import http.server
import json
import os
import re
import secrets
import socket
import stat
import sys
import threading
import time
import urllib.parse


def setting(name, default):
    """A whole number from the environment, or `default`."""
    text = os.environ.get(name)
    if not text:
        return default
    if not text.isdigit():
        sys.exit("%s must be a whole number of bytes or files, not %r" % (name, text))
    return int(text)


# ---------------------------------------------------------------- settings

# The only extensions a stored file keeps (lower case, no dot): types a web
# server hands out as data and never runs. Any other (php, phtml, html, svg,
# exe, ...) is dropped and the file is stored without one.
ALLOWED_EXTENSIONS = {
    "pdf", "txt", "csv", "rtf", "hwp", "hwpx", "doc", "docx", "xls", "xlsx",  # documents
    "ppt", "pptx", "odt", "ods", "odp",
    "jpg", "jpeg", "png", "gif", "bmp", "webp",                               # images
    "zip", "7z", "gz", "tar",                                                 # archives
}
# Where the files go: a folder of this server's user alone, outside any
# folder a web server serves. Required: a default in a folder every user
# shares could be made first by another user. Created (owner only) when
# missing; refused when another user owns it or others may write to it.
UPLOAD_DIR = os.environ.get("BRIMLET_UPLOAD_DIR", "")
# Most files in one upload, largest file, largest request body. The body is
# the files plus a part header each (about 100 bytes and the path), so keep
# it a little above the page's MaxTotalSize.
MAX_FILES = setting("BRIMLET_MAX_FILES", 100)
MAX_FILE_BYTES = setting("BRIMLET_MAX_FILE_BYTES", 1 << 30)
MAX_UPLOAD_BYTES = setting("BRIMLET_MAX_UPLOAD_BYTES", (1 << 30) + (1 << 20))
# Form fields the page sends beside the files: most in one upload, longest
# value. They are held in memory, so keep these small.
MAX_FIELDS = setting("BRIMLET_MAX_FIELDS", 100)
MAX_FIELD_BYTES = setting("BRIMLET_MAX_FIELD_BYTES", 65536)
# The token the page sends in the X-Upload-Token header (one the site gave
# it, as against cross-site request forgery). Empty: no token is asked for.
UPLOAD_TOKEN = os.environ.get("BRIMLET_UPLOAD_TOKEN", "")
# The origins of pages elsewhere that may upload here and read the reply
# (scheme://host[:port] as a browser writes it, separated by spaces or
# commas). Empty: none; a page on this server's own origin needs no entry.
ALLOWED_ORIGINS = set(re.split(r"[\s,]+", os.environ.get("BRIMLET_ALLOWED_ORIGINS", "").lower())) - {"", "null"}
# A client that sends nothing for this many seconds is dropped; at most this
# many requests are served at once, any more answered 503 at once.
IDLE_SECONDS = setting("BRIMLET_IDLE_SECONDS", 120)
MAX_REQUESTS = setting("BRIMLET_MAX_REQUESTS", 16)

PIECE = 65536
# How long a refusal decided by the headers waits, reading and dropping the
# body, so that the client is still there to read the answer.
LINGER_SECONDS = 2
MAX_HEADER_BYTES = 16384
INDEX = "index.tsv"
CONTROL = re.compile(rb"[\x00-\x1f\x7f]")
TOKEN = rb"[!#$%&'*+.^_`|~0-9A-Za-z-]+"
MEDIA_TYPE = re.compile(rb"[ \t]*(" + TOKEN + rb"/" + TOKEN + rb")[ \t]*(?:;|$)")
EXTENSION = re.compile(r"\.([A-Za-z0-9]+)$")


# ---------------------------------------------------------------- names

def decoded(raw):
    """Text the control sent in CP949, decoded; and its bytes as shown in
    the reply. Text that is not CP949 keeps its ASCII and gets '_' for every
    other byte."""
    try:
        return raw.decode("cp949"), raw
    except UnicodeDecodeError:
        shown = bytes(b if b < 0x80 else 0x5F for b in raw)
        return shown.decode("ascii"), shown


CHARACTER_REFERENCE = re.compile(r"&#([0-9]{1,7});")
# Characters that end a line or turn the direction of the text around them:
# read from a reference, one would split an index line for some readers, or
# show "photo\u202egpj.txt" as "phototxt.jpg".
LAYOUT_CONTROLS = {0x200E, 0x200F, 0x2028, 0x2029, *range(0x202A, 0x202F), *range(0x2066, 0x206A)}


def with_characters(name):
    """A name with each decimal character reference the control wrote for a
    character that CP949 lacks ("caf&#233;.txt") made that character again.
    Only references to characters outside ASCII and the C1 controls are
    read, and none to a line or direction control, so no reference can bring
    a slash, a control or a surrogate into a name, nor change how it shows;
    any other stays as it was written."""
    def character(match):
        code = int(match.group(1))
        readable = (0xA0 <= code <= 0x10FFFF and not 0xD800 <= code <= 0xDFFF
                    and code not in LAYOUT_CONTROLS)
        return chr(code) if readable else match.group(0)
    return CHARACTER_REFERENCE.sub(character, name)


def client_name(raw, field):
    """The client's name as kept: the bytes after the last backslash or
    slash of the path sent (CP949 never uses either byte inside a character),
    control bytes made '_', the part's name when nothing is left; decoded,
    its character references read. The bytes shown in a reply are the ones
    sent."""
    cut = max(raw.rfind(b"\\"), raw.rfind(b"/"))
    name, shown = decoded(CONTROL.sub(b"_", raw[cut + 1:]) or field.encode("ascii"))
    return with_characters(name), shown


def stored_extension(name):
    """The client's extension, lowered, when it is on the allowed list."""
    match = EXTENSION.search(name)
    extension = match.group(1).lower() if match else ""
    return "." + extension if extension in ALLOWED_EXTENSIONS else ""


def media_type(header):
    """The part's type/subtype in lower case, "text/plain" when it has none."""
    match = MEDIA_TYPE.match(header or b"")
    return match.group(1).lower().decode("ascii") if match else "text/plain"


def folder_refusal(folder):
    """Why files may not go to `folder`, or None. Made for this user alone
    when missing; one that another user made, or may write to, could hold a
    link in place of the index, or its owner could replace what is stored."""
    try:
        os.makedirs(folder, mode=0o700, exist_ok=True)
        info = os.stat(folder)
    except OSError:
        return None  # reported as the first file that cannot be created
    if not stat.S_ISDIR(info.st_mode) or info.st_uid != os.geteuid() or info.st_mode & 0o022:
        return "the upload folder belongs to another user, or others may write to it"
    return None


def create_stored_file(folder, extension):
    """Creates a new file under a random name; never opens an existing one."""
    for _ in range(8):
        name = secrets.token_hex(16) + extension
        try:
            fd = os.open(os.path.join(folder, name), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
            return fd, name
        except FileExistsError:
            continue
    raise OSError("no free name in " + folder)


def plural(count, word):
    return "%d %s%s" % (count, word, "" if count == 1 else "s")


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
        try:
            piece = self.stream.read(min(PIECE, self.left))
        except OSError:  # the idle limit passed, or the connection broke
            raise BodyCutShort()
        if not piece:
            raise BodyCutShort()
        self.left -= len(piece)
        self.buffer += piece
        return True

    def drain(self):
        """Reads what is left, so that the client is there for the reply."""
        while self.fill():
            self.buffer = b""


PARAMETER = re.compile(rb'[ \t]*;[ \t]*(' + TOKEN + rb')[ \t]*=[ \t]*(?:"([^"]*)"|(' + TOKEN + rb'))[ \t]*')


def disposition(header):
    """The parameters of a part's Content-Disposition, names in lower case,
    or None when it is not form-data with each parameter once. Read from
    left to right, so text inside a quoted value is never taken for a
    parameter: a field named "note; filename=x.txt" stays a field."""
    start = re.match(rb"[ \t]*form-data[ \t]*", header, re.IGNORECASE)
    if not start:
        return None
    parameters, at = {}, start.end()
    while at < len(header):
        match = PARAMETER.match(header, at)
        if not match or match.group(1).lower() in parameters:
            return None
        quoted, token = match.group(2), match.group(3)
        parameters[match.group(1).lower()] = quoted if quoted is not None else token
        at = match.end()
    return parameters


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
    returns a writer (write(bytes), close()) or None to skip the part."""
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
        if writer:
            writer.close()


# ---------------------------------------------------------------- storing

class StoredFile:
    """One part's file, under a name made here."""

    def __init__(self, upload, field, raw_filename, content_type):
        self.upload = upload
        self.field = field
        self.name, self.shown = client_name(raw_filename, field)
        self.type = media_type(content_type)
        self.fd, self.stored = create_stored_file(upload.folder, stored_extension(self.name))
        self.path = os.path.join(upload.folder, self.stored)
        self.size = 0

    def write(self, data):
        if self.upload.refusal:
            return
        self.size += len(data)
        if self.size > MAX_FILE_BYTES:
            self.upload.refuse(413, b"Refused: " + self.shown
                               + b" is larger than %d bytes; nothing stored." % MAX_FILE_BYTES)
            return
        view = memoryview(data)
        try:
            while view:
                view = view[os.write(self.fd, view):]
        except OSError as error:
            sys.stderr.write("cannot store %s: %s\n" % (self.field, error))
            self.upload.refuse(500, b"Could not store %s; nothing stored." % self.field.encode())

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None


class FormField:
    """One part without a file name: a form field, its value kept in memory
    up to MAX_FIELD_BYTES. Its name and value are read as the file names
    are: a character CP949 lacks comes as a reference there too."""

    def __init__(self, upload, raw_name):
        self.upload = upload
        name, self.shown = decoded(raw_name)
        self.name = with_characters(name)
        self.value = b""

    def write(self, data):
        if self.upload.refusal:
            return
        self.value += data
        if len(self.value) > MAX_FIELD_BYTES:
            self.upload.refuse(413, b"Refused: the field " + self.shown
                               + b" is longer than %d bytes; nothing stored." % MAX_FIELD_BYTES)

    def close(self):
        if not self.upload.refusal:
            self.upload.fields.append((self.name, with_characters(decoded(self.value)[0])))


class Upload:
    """The files of one request: all of them are kept, or none."""

    def __init__(self, folder):
        self.folder = folder
        self.file_parts = 0  # parts with a file name so far, stored or not
        self.files = []
        self.fields = []  # (name, value), in body order
        self.refusal = None  # (status, text) once the upload cannot succeed

    def refuse(self, status, text):
        if not self.refusal:
            self.refusal = (status, text)

    def on_part(self, headers):
        """The control sends the fields first, then FILE1, FILE2, ... in
        order: a body of another shape is not the control's, or a file in it
        held a delimiter line and part headers of its own."""
        parameters = disposition(headers.get(b"content-disposition", b""))
        if self.refusal:
            return None
        if parameters is None or b"name" not in parameters:
            self.refuse(400, b"Bad upload body (a part without a form-data name); nothing stored.")
            return None
        filename = parameters.get(b"filename")
        if filename is None:
            if self.file_parts:
                self.refuse(400, b"Bad upload body (a form field after a file); nothing stored.")
                return None
            if len(self.fields) == MAX_FIELDS:
                self.refuse(413, ("Refused: more than %s in one upload; nothing stored."
                                 % plural(MAX_FIELDS, "field")).encode("ascii"))
                return None
            return FormField(self, parameters[b"name"])
        self.file_parts += 1
        field = parameters[b"name"].decode("latin-1")
        if field != "FILE%d" % self.file_parts:
            self.refuse(400, b"Bad upload body (file parts out of order); nothing stored.")
            return None
        if not filename:
            return None
        if len(self.files) == MAX_FILES:
            self.refuse(413, ("Refused: more than %s in one upload; nothing stored."
                             % plural(MAX_FILES, "file")).encode("ascii"))
            return None
        try:
            part = StoredFile(self, field, filename, headers.get(b"content-type"))
        except OSError as error:
            sys.stderr.write("cannot store %s: %s\n" % (field, error))
            self.refuse(500, b"Could not store %s; nothing stored." % field.encode())
            return None
        self.files.append(part)
        return part

    def discard(self):
        for part in self.files:
            part.close()
            try:
                os.unlink(part.path)
            except OSError:
                pass
        self.files = []

    def keep(self):
        """Adds the files to the index in one append; False if it cannot,
        the index then cut back to what it was, so that no half line is
        left for the next one to run into. Never through a link."""
        lines = memoryview("".join("%s\t%d\t%s\t%s\n" % (p.stored, p.size, p.type, p.name)
                                   for p in self.files).encode("utf-8"))
        try:
            fd = os.open(os.path.join(self.folder, INDEX),
                         os.O_WRONLY | os.O_APPEND | os.O_CREAT | os.O_NOFOLLOW, 0o600)
        except OSError as error:
            sys.stderr.write("cannot write the index: %s\n" % error)
            return False
        try:
            fcntl.flock(fd, fcntl.LOCK_EX)  # one upload's lines at a time, across receivers
            length = os.fstat(fd).st_size
            try:
                while lines:
                    lines = lines[os.write(fd, lines):]
                return True
            except OSError as error:
                sys.stderr.write("cannot write the index: %s\n" % error)
                os.ftruncate(fd, length)
                return False
        except OSError as error:
            sys.stderr.write("cannot write or restore the index: %s\n" % error)
            return False
        finally:
            os.close(fd)

    def summary(self):
        return ("Stored %s." % plural(len(self.files), "file")).encode("ascii")

    def listing(self):
        lines = [self.summary()]
        for p in self.files:
            lines.append(p.shown + (" (%s, %s) stored as %s" % (plural(p.size, "byte"), p.type, p.stored)).encode("ascii"))
        return b"\r\n".join(lines)


# ---------------------------------------------------------------- server

def json_text(answer):
    """JSON in UTF-8 that stays data inside a page's <script> too: < > &
    escaped, as every receiver here escapes them."""
    text = json.dumps(answer, ensure_ascii=False, separators=(",", ":"))
    return text.replace("<", "\\u003C").replace(">", "\\u003E").replace("&", "\\u0026").encode("utf-8")


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "BrimletReceiver/2.0"
    timeout = IDLE_SECONDS or None  # per read: a client that stops sending is dropped

    def reply(self, status, text, upload=None):
        """Plain text in the control's code page, or JSON when asked for."""
        if isinstance(text, str):
            text = text.encode("ascii")
        if self.wants_json:
            answer = {"ok": status < 400, "message": decoded(text)[0]}
            if upload:
                answer["message"] = upload.summary().decode("ascii")
                answer["files"] = [{"name": p.name, "size": p.size, "type": p.type, "stored": p.stored}
                                   for p in upload.files]
                answer["fields"] = [{"name": name, "value": value} for name, value in upload.fields]
            data = json_text(answer)
            content_type = "application/json; charset=utf-8"
        else:
            # Names are in the control's code page, as it shows them.
            data = text + b"\r\n"
            content_type = "text/plain; charset=euc-kr"
        try:
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(data)))
            self.send_header("Connection", "close")
            self.send_origin_headers()
            self.end_headers()
            self.wfile.write(data)
        except OSError:
            pass  # the client has gone
        self.close_connection = True

    def refuse_unread(self, status, text):
        """Answers a refusal the headers decide without reading the body,
        then reads and drops what comes for a moment only, so that the
        client is still there to read the answer."""
        self.reply(status, text)
        try:
            self.connection.shutdown(socket.SHUT_WR)
            self.connection.settimeout(LINGER_SECONDS)
            until = time.monotonic() + LINGER_SECONDS
            while time.monotonic() < until and self.connection.recv(PIECE):
                pass
        except OSError:
            pass

    def send_response(self, code, message=None):
        """Every answer, the server's own ones to a bad request line too,
        tells a browser to take its type as given: a refusal echoes what
        the client sent."""
        super().send_response(code, message)
        self.send_header("X-Content-Type-Options", "nosniff")

    @property
    def wants_json(self):
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
        return query.get("reply") == ["json"]

    def do_GET(self):
        self.reply(200, "Upload receiver: POST the files as FILE1, FILE2, ...")

    # ------------------------------------------------------------ origins

    allowed_origin = None  # the request's Origin once it is found listed

    def listed_origin(self):
        """The request's Origin when ALLOWED_ORIGINS lists it ("null", the
        origin of a page without an address, never does), else None."""
        origin = self.headers.get("Origin", "")
        return origin if origin.lower() in ALLOWED_ORIGINS else None

    def send_origin_headers(self):
        """The headers that let a page of the allowed origin read the
        reply, sent with the user's cookies."""
        if self.allowed_origin:
            self.send_header("Access-Control-Allow-Origin", self.allowed_origin)
            self.send_header("Access-Control-Allow-Credentials", "true")
            self.send_header("Vary", "Origin")

    def do_OPTIONS(self):
        """The question a page on another origin asks before it sends its
        own headers: allowed for a listed origin, refused for any other."""
        if "Origin" not in self.headers or "Access-Control-Request-Method" not in self.headers:
            self.send_error(501, "Unsupported method (%r)" % self.command)
            return
        self.allowed_origin = self.listed_origin()
        if not self.allowed_origin:
            self.reply(403, "Refused: pages of this origin may not upload here.")
            return
        names = [name.strip() for name in self.headers.get("Access-Control-Request-Headers", "").split(",")]
        names = [name for name in names if name]
        self.send_response(204)
        self.send_origin_headers()
        self.send_header("Access-Control-Allow-Methods", "POST")
        if names and all(re.fullmatch(TOKEN, name.encode("latin-1")) for name in names):
            self.send_header("Access-Control-Allow-Headers", ", ".join(names))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    def do_POST(self):
        self.allowed_origin = self.listed_origin()
        content_type = self.headers.get("Content-Type", "").encode("latin-1")
        boundary = parameter(content_type, rb"boundary")
        # Where the body ends must be beyond doubt: two lengths, or a length
        # beside a transfer coding, could end it elsewhere for a proxy.
        lengths = self.headers.get_all("Content-Length") or []
        if (len(lengths) > 1 or self.headers.get_all("Transfer-Encoding") and lengths
                or lengths and not re.fullmatch(r"[0-9]+", lengths[0].strip(" \t"))):
            self.refuse_unread(400, "Bad request headers; nothing stored.")
            return
        if not lengths:
            self.refuse_unread(411, "Content-Length is required.")
            return
        body = Body(self.rfile, int(lengths[0]))
        # Compared in constant time: the time taken tells nothing of the token.
        if UPLOAD_TOKEN and not hmac.compare_digest(
                self.headers.get("X-Upload-Token", "").encode("latin-1"),
                UPLOAD_TOKEN.encode("utf-8")):
            self.refuse_unread(403, "Refused: the upload token is missing or wrong; nothing stored.")
            return
        if not content_type.lower().startswith(b"multipart/form-data") or not boundary:
            self.refuse_unread(400, "Not a multipart upload.")
            return
        if body.left > MAX_UPLOAD_BYTES:
            self.refuse_unread(413, "Refused: the upload is larger than %d bytes; nothing stored."
                               % MAX_UPLOAD_BYTES)
            return
        why = folder_refusal(UPLOAD_DIR)
        if why:
            sys.stderr.write("%s: %s\n" % (why, UPLOAD_DIR))
            self.refuse_unread(500, "Not stored: %s; see README.md." % why)
            return
        upload = Upload(UPLOAD_DIR)
        try:
            receive_parts(body, boundary, upload.on_part)
            body.drain()
        except BodyCutShort:
            upload.discard()
            self.reply(400, "Upload cut short; nothing stored.")
            return
        except BadBody as error:
            upload.discard()
            self.refuse_unread(400, "Bad upload body (%s); nothing stored." % error)
            return
        except BaseException:
            upload.discard()
            raise
        for part in upload.files:
            part.close()
        if upload.refusal:
            upload.discard()
            self.reply(*upload.refusal)
        elif not upload.keep():
            upload.discard()
            self.reply(500, "Could not write the index; nothing stored.")
        else:
            self.reply(200, upload.listing(), upload)


BUSY_TEXT = b"Busy: too many uploads at once; try again later.\r\n"
BUSY = (b"HTTP/1.0 503 Service Unavailable\r\nContent-Type: text/plain; charset=euc-kr\r\n"
        b"X-Content-Type-Options: nosniff\r\nConnection: close\r\nContent-Length: %d\r\n\r\n"
        % len(BUSY_TEXT)) + BUSY_TEXT


class Server(http.server.ThreadingHTTPServer):
    """A thread per request, MAX_REQUESTS at most: one more is answered 503
    at once instead of waiting behind clients that may never finish."""
    daemon_threads = True

    def __init__(self, address):
        super().__init__(address, Handler)
        self.slots = threading.BoundedSemaphore(MAX_REQUESTS)

    def process_request(self, request, client_address):
        if self.slots.acquire(blocking=False):
            super().process_request(request, client_address)
            return
        try:
            request.settimeout(1)
            request.sendall(BUSY)
        except OSError:
            pass
        self.shutdown_request(request)

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.slots.release()


def main():
    if not UPLOAD_DIR:
        sys.exit("BRIMLET_UPLOAD_DIR must name the upload folder: one of this user's own, "
                 "outside every document root (see README.md)")
    port = int(os.environ.get("BRIMLET_PORT", "8080"))
    server = Server(("127.0.0.1", port))
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
