<?php
// Receives the control's uploads and stores the parts FILE1, FILE2, ...
// PHP 8.1 or later ($_FILES with full_path). Put it behind any web server,
// or run PHP's own:
//
//   BRIMLET_UPLOAD_DIR=/srv/uploads php -d upload_max_filesize=4G \
//       -d post_max_size=0 -d max_file_uploads=1000 -S 127.0.0.1:8080 receive.php
//
// Environment:
//   BRIMLET_UPLOAD_DIR  folder the files go to (default: "uploads" beside
//                       this script; created when missing)
//
// PHP's limits on uploads are ini settings this script cannot raise: the
// defaults (2 MB a file, 8 MB a request, 20 files) refuse most real uploads.
// The stored name follows the rules every receiver in this folder shares
// (see README.md); PHP's own base name is not used, so that the rules are
// applied to the name exactly as the control sent it.

const MAX_NAME_BYTES = 200;
const MAX_SUFFIX = 9999;
const RESERVED = '/[\x00-\x1f\x7f<>:"\/\\\\|?*]/';
const DEVICE = '/^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\.|$)/i';

// ------------------------------------------------------------------ names

// The bytes after the last backslash or slash. CP949 never uses either byte
// inside a double-byte character, so a byte search is safe.
function base_name(string $raw): string {
    $cut = max(strrpos($raw, '\\') === false ? -1 : strrpos($raw, '\\'),
               strrpos($raw, '/') === false ? -1 : strrpos($raw, '/'));
    return substr($raw, $cut + 1);
}

// The control sends names in the Korean ANSI code page; a name that is not
// valid CP949 keeps its ASCII and loses the rest to '_'.
function decode_name(string $raw): string {
    $text = @iconv('CP949', 'UTF-8', $raw);
    if ($text !== false) return $text;
    return preg_replace('/[\x80-\xff]/', '_', $raw);
}

function split_extension(string $name): array {
    $dot = strrpos($name, '.');
    if ($dot === false || $dot === 0) return [$name, ''];
    return [substr($name, 0, $dot), substr($name, $dot)];
}

function limit_length(string $name): string {
    if (strlen($name) <= MAX_NAME_BYTES) return $name;
    [$stem, $ext] = split_extension($name);
    if (strlen($ext) > 16) [$stem, $ext] = [$name, ''];
    $budget = MAX_NAME_BYTES - strlen($ext);
    $kept = '';
    foreach (preg_split('//u', $stem, -1, PREG_SPLIT_NO_EMPTY) as $ch) {
        if (strlen($kept) + strlen($ch) > $budget) break;
        $kept .= $ch;
    }
    return $kept . $ext;
}

// The name a part is stored under, never a path: no separators, no leading
// dots (so neither '..' nor hidden files), no device names.
function safe_name(string $raw, string $field): string {
    $name = trim(preg_replace(RESERVED, '_', decode_name(base_name($raw))), ' .');
    if (preg_match(DEVICE, $name)) $name = '_' . $name;
    if ($name === '') $name = $field;
    return limit_length($name);
}

// Reserves a new file for `name`, or for "stem (n).ext" when the name is
// taken; never takes an existing file.
function create_unique(string $folder, string $name): ?string {
    [$stem, $ext] = split_extension($name);
    for ($n = 1; $n <= MAX_SUFFIX; ++$n) {
        $candidate = $n === 1 ? $name : "$stem ($n)$ext";
        $handle = @fopen($folder . '/' . $candidate, 'x');
        if ($handle !== false) {
            fclose($handle);
            return $candidate;
        }
        if (!file_exists($folder . '/' . $candidate)) return null;
    }
    return null;
}

// ----------------------------------------------------------------- server

function files_text(int $count): string {
    return $count . ' file' . ($count === 1 ? '' : 's');
}

function reply(int $status, string $text): void {
    http_response_code($status);
    header('Content-Type: text/plain; charset=us-ascii');
    header('Connection: close');
    echo $text, "\r\n";
}

function ini_bytes(string $value): int {
    $number = (int)$value;
    switch (strtoupper(substr(trim($value), -1))) {
        case 'G': return $number << 30;
        case 'M': return $number << 20;
        case 'K': return $number << 10;
    }
    return $number;
}

function receive(): void {
    $type = $_SERVER['CONTENT_TYPE'] ?? '';
    if (stripos($type, 'multipart/form-data') !== 0) {
        reply(400, 'Not a multipart upload.');
        return;
    }
    $limit = ini_bytes((string)ini_get('post_max_size'));
    if ($limit > 0 && (int)($_SERVER['CONTENT_LENGTH'] ?? 0) > $limit) {
        reply(413, 'Upload larger than this server takes.');
        return;
    }
    $folder = getenv('BRIMLET_UPLOAD_DIR') ?: __DIR__ . '/uploads';
    if (!is_dir($folder)) @mkdir($folder, 0755, true);

    $stored = 0;
    $failed = 0;
    $cutShort = false;
    // Parts in the order they came: PHP keeps $_FILES in body order.
    foreach ($_FILES as $field => $file) {
        if (!preg_match('/^FILE[1-9][0-9]*$/', $field) || is_array($file['name'])) continue;
        if ($file['error'] === UPLOAD_ERR_NO_FILE) continue;  // empty file name
        if ($file['error'] === UPLOAD_ERR_PARTIAL) { $cutShort = true; continue; }
        if ($file['error'] !== UPLOAD_ERR_OK) { ++$failed; continue; }
        $name = create_unique($folder, safe_name($file['full_path'] ?? $file['name'], $field));
        if ($name === null || !move_uploaded_file($file['tmp_name'], $folder . '/' . $name)) {
            if ($name !== null) @unlink($folder . '/' . $name);
            error_log("cannot store $field");
            ++$failed;
            continue;
        }
        ++$stored;
    }
    if ($cutShort) reply(400, 'Upload cut short; stored ' . files_text($stored) . '.');
    elseif ($failed) reply(500, 'Stored ' . files_text($stored) . "; $failed could not be stored.");
    else reply(200, 'Stored ' . files_text($stored) . '.');
}

if (($_SERVER['REQUEST_METHOD'] ?? 'GET') === 'POST') receive();
else reply(200, 'Upload receiver: POST the files as FILE1, FILE2, ...');
