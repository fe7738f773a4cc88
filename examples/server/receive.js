#!/usr/bin/env node
// Receives the control's uploads and stores the parts FILE1, FILE2, ...
// Node.js with busboy (npm ci in this folder first):
//
//   BRIMLET_UPLOAD_DIR=/srv/uploads BRIMLET_PORT=8080 node receive.js
//
// The settings below, and the rules every receiver in this folder shares,
// are explained in README.md. In short: the name on disk is made here, never
// taken from the client; the client's name, size and type go to the folder's
// index.tsv and into the reply; an upload that breaks a limit, or does not
// arrive whole, stores nothing. With ?reply=json the reply is JSON, listing
// the files and the page's form fields too; with an upload token set, a
// request without it in X-Upload-Token is refused. A page on another origin
// may upload only when its origin is in ALLOWED_ORIGINS.
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const path = require('path');
const busboy = require('busboy');

// A whole number from the environment, or `fallback`.
function setting(name, fallback) {
  const text = process.env[name];
  if (!text) return fallback;
  if (!/^[0-9]+$/.test(text)) {
    console.error(`${name} must be a whole number of bytes or files, not '${text}'`);
    process.exit(1);
  }
  return Number(text);
}

// ---------------------------------------------------------------- settings

// The only extensions a stored file keeps (lower case, no dot): types a web
// server hands out as data and never runs. Any other (php, phtml, html, svg,
// exe, ...) is dropped and the file is stored without one.
const ALLOWED_EXTENSIONS = new Set([
  'pdf', 'txt', 'csv', 'rtf', 'hwp', 'hwpx', 'doc', 'docx', 'xls', 'xlsx', // documents
  'ppt', 'pptx', 'odt', 'ods', 'odp',
  'jpg', 'jpeg', 'png', 'gif', 'bmp', 'webp', //                            images
  'zip', '7z', 'gz', 'tar', //                                              archives
]);
// Where the files go: a folder of this server's user alone, outside any
// folder a web server serves. Required: a default in a folder every user
// shares could be made first by another user. Created (owner only) when
// missing; refused when another user owns it or others may write to it.
const UPLOAD_DIR = process.env.BRIMLET_UPLOAD_DIR || '';
// Most files in one upload, largest file, largest request body. The body is
// the files plus a part header each (about 100 bytes and the path), so keep
// it a little above the page's MaxTotalSize.
const MAX_FILES = setting('BRIMLET_MAX_FILES', 100);
const MAX_FILE_BYTES = setting('BRIMLET_MAX_FILE_BYTES', 2 ** 30);
const MAX_UPLOAD_BYTES = setting('BRIMLET_MAX_UPLOAD_BYTES', 2 ** 30 + 2 ** 20);
// Form fields the page sends beside the files: most in one upload, longest
// value. They are held in memory, so keep these small.
const MAX_FIELDS = setting('BRIMLET_MAX_FIELDS', 100);
const MAX_FIELD_BYTES = setting('BRIMLET_MAX_FIELD_BYTES', 65536);
// The token the page sends in the X-Upload-Token header (one the site gave
// it, as against cross-site request forgery). Empty: no token is asked for.
const UPLOAD_TOKEN = process.env.BRIMLET_UPLOAD_TOKEN || '';
// The origins of pages elsewhere that may upload here and read the reply
// (scheme://host[:port] as a browser writes it, separated by spaces or
// commas). Empty: none; a page on this server's own origin needs no entry.
const ALLOWED_ORIGINS = new Set((process.env.BRIMLET_ALLOWED_ORIGINS || '').toLowerCase()
  .split(/[\s,]+/).filter((origin) => origin && origin !== 'null'));
// A connection that sends nothing for this many seconds is dropped. An
// upload may take as long as it needs while its bytes keep coming.
const IDLE_SECONDS = setting('BRIMLET_IDLE_SECONDS', 120);

const INDEX = 'index.tsv';
// How long a refusal decided by the headers waits, reading and dropping the
// body, so that the client is still there to read the answer.
const LINGER_MS = 2000;
const TOKEN = /^[!#$%&'*+.^_`|~0-9A-Za-z-]+$/;
const EXTENSION = /\.([A-Za-z0-9]+)$/;

// ------------------------------------------------------------------ names

// Text the control sent in CP949, decoded (name), and its bytes as shown in
// the reply (shown). Text that is not CP949 keeps its ASCII and gets '_' for
// every other byte.
function decoded(bytes) {
  try {
    return { name: new TextDecoder('euc-kr', { fatal: true }).decode(bytes), shown: bytes };
  } catch (error) {
    const shown = Buffer.from(bytes.map((b) => (b < 0x80 ? b : 0x5f)));
    return { name: shown.toString('ascii'), shown };
  }
}

// The client's name as kept: the bytes after the last backslash or slash of
// the path sent (CP949 never uses either byte inside a character), control
// bytes made '_', the part's name when nothing is left; decoded, its
// character references read. The bytes shown in a reply are the ones sent.
function clientName(raw, field) {
  const cut = Math.max(raw.lastIndexOf(0x5c), raw.lastIndexOf(0x2f));
  const bytes = Buffer.from(raw.subarray(cut + 1).map((b) => (b < 0x20 || b === 0x7f ? 0x5f : b)));
  const { name, shown } = decoded(bytes.length === 0 ? Buffer.from(field, 'ascii') : bytes);
  return { name: withCharacters(name), shown };
}

// Characters that end a line or turn the direction of the text around them:
// read from a reference, one would split an index line for some readers, or
// show "photo\u202egpj.txt" as "phototxt.jpg".
function isLayoutControl(code) {
  return code === 0x200e || code === 0x200f || code === 0x2028 || code === 0x2029 ||
    (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
}

// A name with each decimal character reference the control wrote for a
// character that CP949 lacks ("caf&#233;.txt") made that character again.
// Only references to characters outside ASCII and the C1 controls are read,
// and none to a line or direction control, so no reference can bring a
// slash, a control or a surrogate into a name, nor change how it shows; any
// other stays as it was written.
function withCharacters(name) {
  return name.replace(/&#([0-9]{1,7});/g, (reference, digits) => {
    const code = Number(digits);
    const readable = code >= 0xa0 && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff) &&
      !isLayoutControl(code);
    return readable ? String.fromCodePoint(code) : reference;
  });
}

// Whether the request carries the upload token, compared in constant time:
// the time taken tells nothing of the token.
function hasToken(req) {
  const digest = (bytes) => crypto.createHash('sha256').update(bytes).digest();
  return crypto.timingSafeEqual(digest(Buffer.from(req.headers['x-upload-token'] || '', 'latin1')),
                                digest(Buffer.from(UPLOAD_TOKEN)));
}

// The client's extension, lowered, when it is on the allowed list.
function storedExtension(name) {
  const match = EXTENSION.exec(name);
  const extension = match ? match[1].toLowerCase() : '';
  return ALLOWED_EXTENSIONS.has(extension) ? `.${extension}` : '';
}

// Why files may not go to `folder`, or null. Made for this user alone when
// missing; one that another user made, or may write to, could hold a link in
// place of the index, or its owner could replace what is stored.
function folderRefusal(folder) {
  let info;
  try {
    fs.mkdirSync(folder, { recursive: true, mode: 0o700 });
    info = fs.statSync(folder);
  } catch (error) {
    return null; // reported as the first file that cannot be created
  }
  if (!info.isDirectory() || info.uid !== process.geteuid() || (info.mode & 0o022) !== 0) {
    return 'the upload folder belongs to another user, or others may write to it';
  }
  return null;
}

// Creates a new file under a random name; never opens an existing one.
function createStoredFile(folder, extension) {
  for (let attempt = 0; attempt < 8; ++attempt) {
    const name = crypto.randomBytes(16).toString('hex') + extension;
    try {
      return { fd: fs.openSync(path.join(folder, name), 'wx', 0o600), name };
    } catch (error) {
      if (error.code !== 'EEXIST') throw error;
    }
  }
  throw new Error(`no free name in ${folder}`);
}

function plural(count, word) {
  return `${count} ${word}${count === 1 ? '' : 's'}`;
}

// ----------------------------------------------------------------- server

// Plain text in the control's code page, or JSON when the request asked
// for it (res.replyAsJson).
function reply(res, status, text, upload) {
  if (res.headersSent) return;
  const bytes = Buffer.isBuffer(text) ? text : Buffer.from(text, 'ascii');
  let data;
  let type;
  if (res.replyAsJson) {
    const answer = { ok: status < 400, message: decoded(bytes).name };
    if (upload) Object.assign(answer, upload.summary());
    // < > & escaped: the JSON stays data inside a page's <script> too.
    data = Buffer.from(JSON.stringify(answer).replace(/[<>&]/g,
      (c) => `\\u00${c.charCodeAt(0).toString(16).toUpperCase()}`));
    type = 'application/json; charset=utf-8';
  } else {
    // Names are in the control's code page, as it shows them.
    data = Buffer.concat([bytes, Buffer.from('\r\n')]);
    type = 'text/plain; charset=euc-kr';
  }
  res.writeHead(status, {
    'Content-Type': type,
    'Content-Length': data.length,
    'X-Content-Type-Options': 'nosniff',
    Connection: 'close',
  });
  res.end(data);
}

// Answers a refusal the headers decide without reading the body. The HTTP
// server closes a finished connection at once, which could reset it before
// the client has read the answer: instead, what comes is read and dropped
// for a moment only.
function refuseUnread(req, res, status, text) {
  const socket = req.socket;
  socket.destroySoon = () => {
    socket.end();
    setTimeout(() => socket.destroy(), LINGER_MS).unref();
  };
  reply(res, status, text);
  req.resume();
}

// The files of one request: all of them are kept, or none.
class Upload {
  constructor(folder) {
    this.folder = folder;
    this.files = [];
    this.fields = []; // { name, value }, in body order
    this.refusal = null; // { status, text } once the upload cannot succeed
  }

  refuse(status, text) {
    if (!this.refusal) this.refusal = { status, text };
  }

  async settled() {
    await Promise.all(this.files.map((file) => file.closed));
  }

  async discard() {
    await this.settled();
    await Promise.all(this.files.map((file) => fs.promises.rm(file.path, { force: true })));
    this.files = [];
  }

  // Adds the files to the index in one append; false if it cannot, the
  // index then cut back to what it was, so that no half line is left for
  // the next one to run into. Never through a link. Synchronous: the
  // uploads of this process write one at a time.
  keep() {
    const lines = Buffer.from(this.files.map((f) => `${f.stored}\t${f.size}\t${f.type}\t${f.name}\n`).join(''));
    const { O_WRONLY, O_APPEND, O_CREAT, O_NOFOLLOW } = fs.constants;
    let fd;
    let length;
    try {
      fd = fs.openSync(path.join(this.folder, INDEX), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW, 0o600);
      length = fs.fstatSync(fd).size;
    } catch (error) {
      console.error(`cannot write the index: ${error.message}`);
      if (fd !== undefined) fs.closeSync(fd);
      return false;
    }
    try {
      for (let at = 0; at < lines.length;) at += fs.writeSync(fd, lines, at);
      return true;
    } catch (error) {
      console.error(`cannot write the index: ${error.message}`);
      try {
        fs.ftruncateSync(fd, length);
      } catch (truncateError) {
        console.error(`cannot restore the index: ${truncateError.message}`);
      }
      return false;
    } finally {
      fs.closeSync(fd);
    }
  }

  // What the JSON reply says of a stored upload.
  summary() {
    return {
      message: `Stored ${plural(this.files.length, 'file')}.`,
      files: this.files.map((f) => ({ name: f.name, size: f.size, type: f.type, stored: f.stored })),
      fields: this.fields,
    };
  }

  listing() {
    const lines = [Buffer.from(`Stored ${plural(this.files.length, 'file')}.`)];
    for (const f of this.files) {
      lines.push(Buffer.from('\r\n'), f.shown,
                 Buffer.from(` (${plural(f.size, 'byte')}, ${f.type}) stored as ${f.stored}`));
    }
    return Buffer.concat(lines);
  }

  // Streams one part to a new file of its own.
  add(field, stream, info) {
    if (this.files.length === MAX_FILES) {
      this.refuse(413, `Refused: more than ${plural(MAX_FILES, 'file')} in one upload; nothing stored.`);
      stream.resume();
      return;
    }
    const { name, shown } = clientName(Buffer.from(info.filename, 'latin1'), field);
    let target;
    try {
      target = createStoredFile(this.folder, storedExtension(name));
    } catch (error) {
      console.error(`cannot store ${field}: ${error.message}`);
      this.refuse(500, `Could not store ${field}; nothing stored.`);
      stream.resume();
      return;
    }
    // busboy gives the part's type/subtype in lower case, "text/plain"
    // when it has none.
    const file = { name, shown, type: info.mimeType, stored: target.name,
                   path: path.join(this.folder, target.name), size: 0, closed: null };
    this.files.push(file);
    const out = fs.createWriteStream(null, { fd: target.fd });
    file.closed = new Promise((resolve) => out.on('close', resolve));
    stream.on('data', (chunk) => { file.size += chunk.length; });
    // busboy stops a file one byte past the limit: that file is too large.
    stream.on('limit', () => {
      this.refuse(413, Buffer.concat([Buffer.from('Refused: '), shown,
                                      Buffer.from(` is larger than ${MAX_FILE_BYTES} bytes; nothing stored.`)]));
    });
    stream.on('error', () => out.destroy());
    out.on('error', (error) => {
      console.error(`cannot store ${field}: ${error.message}`);
      this.refuse(500, `Could not store ${field}; nothing stored.`);
      stream.resume();
    });
    stream.pipe(out);
  }
}

function receive(req, res) {
  // The HTTP parser has refused a length given twice, one that is not a
  // number, and one beside a transfer coding (see clientError below).
  const declared = req.headers['content-length'];
  if (!/^[0-9]+$/.test(declared || '')) {
    refuseUnread(req, res, 411, 'Content-Length is required.');
    return;
  }
  if (UPLOAD_TOKEN && !hasToken(req)) {
    refuseUnread(req, res, 403, 'Refused: the upload token is missing or wrong; nothing stored.');
    return;
  }
  if (!/^multipart\/form-data/i.test(req.headers['content-type'] || '')) {
    refuseUnread(req, res, 400, 'Not a multipart upload.');
    return;
  }
  if (Number(declared) > MAX_UPLOAD_BYTES) {
    refuseUnread(req, res, 413, `Refused: the upload is larger than ${MAX_UPLOAD_BYTES} bytes; nothing stored.`);
    return;
  }
  const why = folderRefusal(UPLOAD_DIR);
  if (why) {
    console.error(`${why}: ${UPLOAD_DIR}`);
    refuseUnread(req, res, 500, `Not stored: ${why}; see README.md.`);
    return;
  }
  let parser;
  try {
    // preservePath: the name as sent, so the rules above take the base name
    // themselves, the same way for every receiver. latin1 maps each byte of
    // the name to one character: the original bytes come back intact; so does defCharset, for the
    // fields' values.
    parser = busboy({ headers: req.headers, preservePath: true, defParamCharset: 'latin1',
                      defCharset: 'latin1',
                      limits: { fileSize: MAX_FILE_BYTES + 1, fields: MAX_FIELDS,
                                fieldSize: MAX_FIELD_BYTES + 1 } });
  } catch (error) {
    refuseUnread(req, res, 400, 'Not a multipart upload.');
    return;
  }
  const upload = new Upload(UPLOAD_DIR);
  let settled = false;
  let cutShort = false;
  // The control sends the fields first, then FILE1, FILE2, ... in order: a
  // body of another shape is not the control's, or a file in it held a
  // delimiter line and part headers of its own.
  let fileParts = 0;

  parser.on('file', (field, stream, info) => {
    fileParts += 1;
    if (!upload.refusal && field !== `FILE${fileParts}`) {
      upload.refuse(400, 'Bad upload body (file parts out of order); nothing stored.');
    }
    if (upload.refusal || !info.filename) stream.resume();
    else upload.add(field, stream, info);
  });
  parser.on('field', (name, value, info) => {
    const field = decoded(Buffer.from(name || '', 'latin1'));
    if (!upload.refusal && fileParts) upload.refuse(400, 'Bad upload body (a form field after a file); nothing stored.');
    if (upload.refusal) return;
    // Like a file, a value is cut one byte past the limit.
    if (info.valueTruncated) {
      upload.refuse(413, Buffer.concat([Buffer.from('Refused: the field '), field.shown,
                                        Buffer.from(` is longer than ${MAX_FIELD_BYTES} bytes; nothing stored.`)]));
    } else {
      // Read as the file names are: a character CP949 lacks comes as a
      // reference here too.
      upload.fields.push({ name: withCharacters(field.name),
                           value: withCharacters(decoded(Buffer.from(value, 'latin1')).name) });
    }
  });
  parser.on('fieldsLimit', () => {
    upload.refuse(413, `Refused: more than ${plural(MAX_FIELDS, 'field')} in one upload; nothing stored.`);
  });
  parser.on('close', async () => {
    if (settled) return;
    settled = true;
    await upload.settled();
    if (upload.refusal) {
      await upload.discard();
      reply(res, upload.refusal.status, upload.refusal.text);
    } else if (!upload.keep()) {
      await upload.discard();
      reply(res, 500, 'Could not write the index; nothing stored.');
    } else {
      reply(res, 200, upload.listing(), upload);
    }
  });
  parser.on('error', async (error) => {
    if (settled) return;
    settled = true;
    req.unpipe(parser);
    req.resume();
    await upload.discard();
    refuseUnread(req, res, 400, cutShort ? 'Upload cut short; nothing stored.'
                                         : `Bad upload body (${error.message}); nothing stored.`);
  });
  // The client went away before the end of its body.
  req.on('close', () => {
    if (req.complete) return;
    cutShort = true;
    parser.destroy(new Error('Upload cut short'));
  });
  req.pipe(parser);
}

// ----------------------------------------------------------------- origins

// The request's Origin when ALLOWED_ORIGINS lists it ("null", the origin of
// a page without an address, never does), else null.
function listedOrigin(req) {
  const origin = req.headers.origin;
  return origin && ALLOWED_ORIGINS.has(origin.toLowerCase()) ? origin : null;
}

// The headers that let a page of that origin read the reply, sent with the
// user's cookies.
function allowOrigin(res, origin) {
  res.setHeader('Access-Control-Allow-Origin', origin);
  res.setHeader('Access-Control-Allow-Credentials', 'true');
  res.setHeader('Vary', 'Origin');
}

// The question a page on another origin asks before it sends its own
// headers: allowed for a listed origin, refused for any other.
function answerPreflight(req, res) {
  const origin = listedOrigin(req);
  if (!origin) {
    refuseUnread(req, res, 403, 'Refused: pages of this origin may not upload here.');
    return;
  }
  allowOrigin(res, origin);
  res.setHeader('Access-Control-Allow-Methods', 'POST');
  const names = (req.headers['access-control-request-headers'] || '').split(',')
    .map((name) => name.trim()).filter((name) => name);
  if (names.length && names.every((name) => TOKEN.test(name))) {
    res.setHeader('Access-Control-Allow-Headers', names.join(', '));
  }
  res.writeHead(204, { 'X-Content-Type-Options': 'nosniff', Connection: 'close' });
  res.end();
}

const server = http.createServer((req, res) => {
  // One line a request: the launcher in tests/server reads a quiet log as idle.
  res.on('finish', () => console.error(`${req.method} ${req.url} ${res.statusCode}`));
  res.replyAsJson = new URL(req.url, 'http://receiver').searchParams.get('reply') === 'json';
  if (req.method === 'OPTIONS' && req.headers.origin && req.headers['access-control-request-method']) {
    answerPreflight(req, res);
  } else if (req.method === 'POST') {
    const origin = listedOrigin(req);
    if (origin) allowOrigin(res, origin);
    receive(req, res);
  } else {
    reply(res, 200, 'Upload receiver: POST the files as FILE1, FILE2, ...');
  }
});

// A request the HTTP parser refuses (a length given twice or not a number,
// a length beside a transfer coding, a malformed header) gets the answer
// every refusal here has.
server.on('clientError', (error, socket) => {
  if (!socket.writable || error.code === 'ECONNRESET') {
    socket.destroy();
    return;
  }
  const text = 'Bad request headers; nothing stored.\r\n';
  socket.end('HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain; charset=euc-kr\r\n' +
             `X-Content-Type-Options: nosniff\r\nContent-Length: ${text.length}\r\nConnection: close\r\n\r\n${text}`);
});
// An upload may take as long as its bytes keep coming: no limit on a whole
// request (older Node has none; newer ends one after five minutes), only
// on a connection that stays silent.
server.requestTimeout = 0;
server.setTimeout(IDLE_SECONDS * 1000, (socket) => socket.destroy());

if (!UPLOAD_DIR) {
  console.error('BRIMLET_UPLOAD_DIR must name the upload folder: one of this user\'s own, ' +
                'outside every document root (see README.md)');
  process.exit(1);
}
server.listen(Number(process.env.BRIMLET_PORT || 8080), '127.0.0.1', () => {
  const port = server.address().port;
  const portFile = process.env.BRIMLET_PORT_FILE;
  if (portFile) {
    fs.writeFileSync(portFile + '.tmp', `${port}\n`);
    fs.renameSync(portFile + '.tmp', portFile);
  }
  console.error(`listening on 127.0.0.1:${port}, storing into ${UPLOAD_DIR}`);
});
