#!/usr/bin/env node
// Receives the control's uploads and stores the parts FILE1, FILE2, ...
// Node.js with busboy (npm ci in this folder first):
//
//   BRIMLET_UPLOAD_DIR=/srv/uploads BRIMLET_PORT=8080 node receive.js
//
// Environment:
//   BRIMLET_UPLOAD_DIR  folder the files go to (default: "uploads" beside
//                       this script; created when missing)
//   BRIMLET_PORT        port to listen on (default 8080; 0 picks a free one)
//   BRIMLET_PORT_FILE   when set, the port actually listened on is written
//                       there (with a final newline) once the server listens
//
// busboy streams each part to its file. The stored name follows the rules
// every receiver in this folder shares (see README.md).
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');
const busboy = require('busboy');

const UPLOAD_DIR = process.env.BRIMLET_UPLOAD_DIR || path.join(__dirname, 'uploads');
const MAX_NAME_BYTES = 200;
const MAX_SUFFIX = 9999;
const FIELD = /^FILE[1-9][0-9]*$/;
const RESERVED = /[\x00-\x1f\x7f<>:"/\\|?*]/g;
const DEVICE = /^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\.|$)/i;

// ------------------------------------------------------------------ names

// busboy hands the filename over decoded as latin1 (its default), which
// maps each byte to one character: the original bytes come back intact.
function rawBytes(latin1Name) {
  return Buffer.from(latin1Name, 'latin1');
}

// The bytes after the last backslash or slash. CP949 never uses either byte
// inside a double-byte character, so a byte search is safe.
function baseName(raw) {
  const cut = Math.max(raw.lastIndexOf(0x5c), raw.lastIndexOf(0x2f));
  return raw.subarray(cut + 1);
}

// The control sends names in the Korean ANSI code page; a name that is not
// valid CP949 keeps its ASCII and loses the rest to '_'.
function decodeName(raw) {
  try {
    return new TextDecoder('euc-kr', { fatal: true }).decode(raw);
  } catch (error) {
    return Array.from(raw, (b) => (b < 0x80 ? String.fromCharCode(b) : '_')).join('');
  }
}

function splitExtension(name) {
  const dot = name.lastIndexOf('.');
  return dot <= 0 ? [name, ''] : [name.slice(0, dot), name.slice(dot)];
}

function limitLength(name) {
  if (Buffer.byteLength(name) <= MAX_NAME_BYTES) return name;
  let [stem, ext] = splitExtension(name);
  if (Buffer.byteLength(ext) > 16) [stem, ext] = [name, ''];
  const budget = MAX_NAME_BYTES - Buffer.byteLength(ext);
  let kept = '';
  let used = 0;
  for (const ch of stem) {
    used += Buffer.byteLength(ch);
    if (used > budget) break;
    kept += ch;
  }
  return kept + ext;
}

// The name a part is stored under, never a path: no separators, no leading
// dots (so neither '..' nor hidden files), no device names.
function safeName(raw, field) {
  let name = decodeName(baseName(raw)).replace(RESERVED, '_').replace(/^[ .]+|[ .]+$/g, '');
  if (DEVICE.test(name)) name = '_' + name;
  if (!name) name = field;
  return limitLength(name);
}

// Opens a new file for `name`, or for "stem (n).ext" when the name is
// taken; never opens an existing file.
function createUnique(folder, name) {
  const [stem, ext] = splitExtension(name);
  for (let n = 1; n <= MAX_SUFFIX; ++n) {
    const candidate = n === 1 ? name : `${stem} (${n})${ext}`;
    try {
      const fd = fs.openSync(path.join(folder, candidate), 'wx', 0o644);
      return { fd, name: candidate };
    } catch (error) {
      if (error.code !== 'EEXIST') throw error;
    }
  }
  throw new Error(`no free name for ${name}`);
}

// ----------------------------------------------------------------- server

function filesText(count) {
  return `${count} file${count === 1 ? '' : 's'}`;
}

function reply(res, status, text) {
  if (res.headersSent) return;
  const data = Buffer.from(text + '\r\n', 'ascii');
  res.writeHead(status, {
    'Content-Type': 'text/plain; charset=us-ascii',
    'Content-Length': data.length,
    Connection: 'close',
  });
  res.end(data);
}

function receive(req, res) {
  let parser;
  try {
    // preservePath: the name as sent, so the rules above take the base name
    // themselves, the same way for every receiver.
    parser = busboy({ headers: req.headers, preservePath: true, defParamCharset: 'latin1' });
  } catch (error) {
    reply(res, 400, 'Not a multipart upload.');
    req.resume();
    return;
  }
  fs.mkdirSync(UPLOAD_DIR, { recursive: true });
  const stored = [];
  const writing = new Set();
  let failed = 0;
  let finished = false;

  function done(status, text) {
    if (finished) return;
    finished = true;
    reply(res, status, text);
  }

  parser.on('file', (field, stream, info) => {
    if (!FIELD.test(field) || !info.filename) {
      stream.resume();
      return;
    }
    let target;
    try {
      target = createUnique(UPLOAD_DIR, safeName(rawBytes(info.filename), field));
    } catch (error) {
      console.error(`cannot store ${field}: ${error.message}`);
      ++failed;
      stream.resume();
      return;
    }
    const file = path.join(UPLOAD_DIR, target.name);
    const out = fs.createWriteStream(null, { fd: target.fd });
    const part = { file, complete: false, closed: null };
    part.closed = new Promise((resolve) => out.on('close', resolve));
    writing.add(part);
    // A part whose data did not end at a delimiter, or whose file could not
    // be written, leaves no file behind.
    let writeFailed = false;
    stream.on('end', () => { part.complete = true; });
    stream.on('error', () => out.destroy());
    out.on('error', (error) => {
      if (part.complete) console.error(`cannot store ${field}: ${error.message}`);
      writeFailed = true;
      stream.resume();
    });
    stream.pipe(out);
    part.closed = part.closed.then(() => {
      if (part.complete && !writeFailed) {
        stored.push(target.name);
        return undefined;
      }
      if (part.complete) ++failed;
      return fs.promises.rm(file, { force: true });
    });
  });

  parser.on('close', async () => {
    await Promise.all([...writing].map((p) => p.closed));
    if (failed) done(500, `Stored ${filesText(stored.length)}; ${failed} could not be stored.`);
    else done(200, `Stored ${filesText(stored.length)}.`);
  });
  parser.on('error', async (error) => {
    req.unpipe(parser);
    req.resume();
    await Promise.all([...writing].map((p) => p.closed));
    done(400, `Bad upload body (${error.message}); stored ${filesText(stored.length)}.`);
  });
  // The client went away before the end of its body.
  req.on('close', () => {
    if (!req.complete) parser.destroy(new Error('Upload cut short'));
  });
  req.pipe(parser);
}

const server = http.createServer((req, res) => {
  // One line a request: the launcher in tests/server reads a quiet log as idle.
  res.on('finish', () => console.error(`${req.method} ${req.url} ${res.statusCode}`));
  if (req.method === 'POST') receive(req, res);
  else reply(res, 200, 'Upload receiver: POST the files as FILE1, FILE2, ...');
});

server.listen(Number(process.env.BRIMLET_PORT || 8080), '127.0.0.1', () => {
  const port = server.address().port;
  const portFile = process.env.BRIMLET_PORT_FILE;
  if (portFile) {
    fs.writeFileSync(portFile + '.tmp', `${port}\n`);
    fs.renameSync(portFile + '.tmp', portFile);
  }
  console.error(`listening on 127.0.0.1:${port}, storing into ${UPLOAD_DIR}`);
});
