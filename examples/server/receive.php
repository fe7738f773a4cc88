<?php
// Receives the control's uploads and stores the parts FILE1, FILE2, ...
// PHP 8.1 or later ($_FILES with full_path). Put it behind any web server,
// or run PHP's own:
//
//   BRIMLET_UPLOAD_DIR=/srv/uploads php -d upload_max_filesize=4G \
//       -d post_max_size=0 -d max_file_uploads=1000 -S 127.0.0.1:8080 receive.php
//
// The settings below, and the rules every receiver in this folder shares,
// are explained in README.md. In short: the name on disk is made here, never
// taken from the client; the client's name, size and type go to the folder's
// index.tsv and into the reply; an upload that breaks a limit, or does not
// arrive whole, stores nothing. PHP has read the whole body into its own
// temporary files before this script runs; its ini limits (upload_max_filesize,
// post_max_size, max_file_uploads) apply first, and this script reports them
// as its own when they are the lower. With ?reply=json the reply is JSON,
// listing the files and the page's form fields too; with an upload token
// set, a request without it in X-Upload-Token is refused. A page on another
// origin may upload only when its origin is in ALLOWED_ORIGINS.

// A whole number from the environment, or `$default`; null when it is not one.
function setting(string $name, int $default): ?int {
    $text = getenv($name);
    if ($text === false || $text === '') return $default;
    return ctype_digit($text) ? (int)$text : null;
}

// ---------------------------------------------------------------- settings

// The only extensions a stored file keeps (lower case, no dot): types a web
// server hands out as data and never runs. Any other (php, phtml, html, svg,
// exe, ...) is dropped and the file is stored without one.
const ALLOWED_EXTENSIONS = [
    'pdf', 'txt', 'csv', 'rtf', 'hwp', 'hwpx', 'doc', 'docx', 'xls', 'xlsx', // documents
    'ppt', 'pptx', 'odt', 'ods', 'odp',
    'jpg', 'jpeg', 'png', 'gif', 'bmp', 'webp', //                            images
    'zip', '7z', 'gz', 'tar', //                                              archives
];
// Where the files go: a folder of this server's user alone, outside any
// folder a web server serves. Required: a default in a folder every user
// shares could be made first by another user. Created (owner only) when
// missing; refused when another user owns it or others may write to it.
define('UPLOAD_DIR', (string)getenv('BRIMLET_UPLOAD_DIR'));
// A folder under the document root (or beside this script) is refused: the
// web server would hand out, or run, what lands there. Only set this when
// that server is known to serve the folder as plain data.
define('STORE_UNDER_DOCUMENT_ROOT', getenv('BRIMLET_STORE_UNDER_DOCUMENT_ROOT') === '1');
// Most files in one upload, largest file, largest request body. The body is
// the files plus a part header each (about 100 bytes and the path), so keep
// it a little above the page's MaxTotalSize.
define('MAX_FILES', setting('BRIMLET_MAX_FILES', 100));
define('MAX_FILE_BYTES', setting('BRIMLET_MAX_FILE_BYTES', 1 << 30));
define('MAX_UPLOAD_BYTES', setting('BRIMLET_MAX_UPLOAD_BYTES', (1 << 30) + (1 << 20)));
// Form fields the page sends beside the files: most in one upload, longest
// value. PHP's max_input_vars applies first.
define('MAX_FIELDS', setting('BRIMLET_MAX_FIELDS', 100));
define('MAX_FIELD_BYTES', setting('BRIMLET_MAX_FIELD_BYTES', 65536));
// The token the page sends in the X-Upload-Token header (one the site gave
// it, as against cross-site request forgery). Empty: no token is asked for.
define('UPLOAD_TOKEN', (string)getenv('BRIMLET_UPLOAD_TOKEN'));
// The origins of pages elsewhere that may upload here and read the reply
// (scheme://host[:port] as a browser writes it, separated by spaces or
// commas). Empty: none; a page on this script's own origin needs no entry.
define('ALLOWED_ORIGINS', preg_split('/[\s,]+/', strtolower((string)getenv('BRIMLET_ALLOWED_ORIGINS')), -1,
                                     PREG_SPLIT_NO_EMPTY));

const INDEX = 'index.tsv';
const TOKEN = '[!#$%&\'*+.^_`|~0-9A-Za-z-]+';

// ------------------------------------------------------------------ names

// Text the control sent in CP949: decoded, and its bytes as shown in the
// reply. Text that is not CP949 keeps its ASCII and gets '_' for every
// other byte.
function decoded(string $bytes): array {
    $name = @iconv('CP949', 'UTF-8', $bytes);
    if ($name !== false) return [$name, $bytes];
    $shown = preg_replace('/[\x80-\xff]/', '_', $bytes);
    return [$shown, $shown];
}

// The client's name as kept: the bytes after the last backslash or slash of
// the path sent (CP949 never uses either byte inside a character), control
// bytes made '_', the part's name when nothing is left; decoded, its
// character references read. The bytes shown in a reply are the ones sent.
function client_name(string $raw, string $field): array {
    $bytes = preg_replace('/[\x00-\x1f\x7f]/', '_', preg_replace('#^.*[\\\\/]#s', '', $raw));
    [$name, $shown] = decoded($bytes === '' ? $field : $bytes);
    return [with_characters($name), $shown];
}

// Characters that end a line or turn the direction of the text around them:
// read from a reference, one would split an index line for some readers, or
// show "photo\u{202E}gpj.txt" as "phototxt.jpg".
function is_layout_control(int $code): bool {
    return in_array($code, [0x200E, 0x200F, 0x2028, 0x2029], true) || ($code >= 0x202A && $code <= 0x202E)
        || ($code >= 0x2066 && $code <= 0x2069);
}

// A name with each decimal character reference the control wrote for a
// character that CP949 lacks ("caf&#233;.txt") made that character again.
// Only references to characters outside ASCII and the C1 controls are read,
// and none to a line or direction control, so no reference can bring a
// slash, a control or a surrogate into a name, nor change how it shows; any
// other stays as it was written.
function with_characters(string $name): string {
    return preg_replace_callback('/&#([0-9]{1,7});/', function (array $match): string {
        $code = (int)$match[1];
        $readable = $code >= 0xA0 && $code <= 0x10FFFF && ($code < 0xD800 || $code > 0xDFFF)
            && !is_layout_control($code);
        return $readable ? html_entity_decode($match[0], ENT_QUOTES | ENT_HTML5, 'UTF-8') : $match[0];
    }, $name);
}

// The client's extension, lowered, when it is on the allowed list.
function stored_extension(string $name): string {
    $extension = preg_match('/\.([A-Za-z0-9]+)$/', $name, $m) ? strtolower($m[1]) : '';
    return in_array($extension, ALLOWED_EXTENSIONS, true) ? ".$extension" : '';
}

// The part's type/subtype in lower case, "text/plain" when it has none.
function media_type(string $header): string {
    $token = TOKEN;
    return preg_match("{^[ \t]*($token/$token)[ \t]*(;|\$)}", $header, $m) ? strtolower($m[1]) : 'text/plain';
}

// Creates a new file under a random name; never takes an existing one.
function create_stored_file(string $folder, string $extension): ?string {
    for ($attempt = 0; $attempt < 8; ++$attempt) {
        $name = bin2hex(random_bytes(16)) . $extension;
        $handle = @fopen("$folder/$name", 'x');
        if ($handle !== false) {
            fclose($handle);
            return $name;
        }
        if (!file_exists("$folder/$name")) return null;
    }
    return null;
}

function plural(int $count, string $word): string {
    return "$count $word" . ($count === 1 ? '' : 's');
}

// ----------------------------------------------------------------- folder

// The real path `$path` will have: that of its deepest existing folder and
// the rest as written; null when the rest climbs with "..".
function resolved_path(string $path): ?string {
    $rest = [];
    while (($real = realpath($path)) === false) {
        $parent = dirname($path);
        if ($parent === $path) return null;
        array_unshift($rest, basename($path));
        $path = $parent;
    }
    if (in_array('..', $rest, true)) return null;
    return rtrim($real, '/') . ($rest ? '/' . implode('/', $rest) : '');
}

// Why files may not go to UPLOAD_DIR, or null when they may. It is made
// for this user alone when missing; one that another user made, or may
// write to, could hold a link in place of the index, or its owner could
// replace what is stored.
function folder_refusal(): ?string {
    if (UPLOAD_DIR === '') return 'no upload folder is set';
    $folder = resolved_path(UPLOAD_DIR);
    if ($folder === null) return 'the upload folder cannot be resolved; create it first';
    if (!STORE_UNDER_DOCUMENT_ROOT) {
        foreach ([$_SERVER['DOCUMENT_ROOT'] ?? '', __DIR__] as $root) {
            $root = $root === '' ? false : realpath($root);
            if ($root !== false && strpos("$folder/", rtrim($root, '/') . '/') === 0) {
                return 'the upload folder is under the web server\'s document root';
            }
        }
    }
    if (!is_dir(UPLOAD_DIR)) @mkdir(UPLOAD_DIR, 0700, true);
    clearstatcache();
    $owner = @fileowner(UPLOAD_DIR);
    if ($owner === false) return null;  // reported as the first file that cannot be created
    // Without POSIX functions (Windows) the folder's access list is the host's to set.
    if (function_exists('posix_geteuid') && (!is_dir(UPLOAD_DIR) || $owner !== posix_geteuid()
                                             || (fileperms(UPLOAD_DIR) & 0022) !== 0)) {
        return 'the upload folder belongs to another user, or others may write to it';
    }
    return null;
}

// Adds lines to the index in one append; false if it cannot, the index then
// cut back to what it was, so that no half line is left for the next one to
// run into. Never through a link: PHP cannot open a file without following
// one, so the file opened must be the one that was there, and no link.
function append_to_index(string $lines): bool {
    $path = UPLOAD_DIR . '/' . INDEX;
    if (is_link($path) || ($index = @fopen($path, 'ab')) === false) return false;
    $appended = false;
    if (flock($index, LOCK_EX)) {
        $opened = fstat($index);
        $there = @lstat($path);
        if ($there !== false && $opened['ino'] === $there['ino'] && $opened['dev'] === $there['dev']
            && ($there['mode'] & 0170000) === 0100000) {
            $appended = @fwrite($index, $lines) === strlen($lines) && fflush($index);
            if (!$appended) ftruncate($index, $opened['size']);
        }
    }
    fclose($index);
    return $appended;
}

// ----------------------------------------------------------------- server

// Plain text in the control's code page, or JSON when the request asked for
// it; `$stored` is what the JSON says of a stored upload.
function reply(int $status, string $text, ?array $stored = null): void {
    http_response_code($status);
    header('Connection: close');
    header('X-Content-Type-Options: nosniff');  // a refusal echoes what the client sent
    if (($_GET['reply'] ?? '') === 'json') {
        header('Content-Type: application/json; charset=utf-8');
        $answer = array_merge(['ok' => $status < 400, 'message' => decoded($text)[0]], $stored ?? []);
        // < > & escaped: the JSON stays data inside a page's <script> too.
        echo json_encode($answer, JSON_UNESCAPED_UNICODE | JSON_UNESCAPED_SLASHES | JSON_HEX_TAG | JSON_HEX_AMP);
        return;
    }
    // Names are in the control's code page, as it shows them.
    header('Content-Type: text/plain; charset=euc-kr');
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

// The lower of a setting and PHP's own limit (0: none).
function lower_limit(int $own, int $php): int {
    return $php > 0 ? min($own, $php) : $own;
}

// The parts to store, in body order (PHP keeps $_FILES so), or the reply
// that refuses the upload.
function parts_or_refusal(): array {
    // PHP drops the parts past max_file_uploads without a word: allowing one
    // fewer makes an upload that reached PHP's limit a refused one.
    $maxFiles = lower_limit(MAX_FILES, max(1, (int)ini_get('max_file_uploads') - 1));
    $maxBytes = lower_limit(MAX_FILE_BYTES, ini_bytes((string)ini_get('upload_max_filesize')));
    $parts = [];
    // The control sends FILE1, FILE2, ... in order: a body of another shape
    // is not the control's, or a file in it held a delimiter line and part
    // headers of its own. (PHP keeps no order between fields and files.)
    $number = 0;
    foreach ($_FILES as $field => $file) {
        if ((string)$field !== 'FILE' . ++$number || is_array($file['name'])) {
            return [[400, 'Bad upload body (file parts out of order); nothing stored.'], []];
        }
        if ($file['error'] === UPLOAD_ERR_NO_FILE) continue;  // an empty file name
        if ($file['error'] === UPLOAD_ERR_PARTIAL) return [[400, 'Upload cut short; nothing stored.'], []];
        if (count($parts) === $maxFiles) {
            return [[413, 'Refused: more than ' . plural($maxFiles, 'file') . ' in one upload; nothing stored.'], []];
        }
        [$name, $shown] = client_name($file['full_path'] ?? $file['name'], $field);
        if ($file['error'] === UPLOAD_ERR_INI_SIZE || $file['size'] > $maxBytes) {
            return [[413, "Refused: $shown is larger than $maxBytes bytes; nothing stored."], []];
        }
        if ($file['error'] !== UPLOAD_ERR_OK) return [[500, "Could not store $field; nothing stored."], []];
        $parts[] = ['field' => $field, 'name' => $name, 'shown' => $shown, 'size' => $file['size'],
                    'type' => media_type($file['type']), 'tmp' => $file['tmp_name']];
    }
    return [null, $parts];
}

// The form fields, in body order, or the reply that refuses the upload.
// PHP has named them already: a name with [] is an array, flattened here
// back to name[key]; dots and spaces in a name arrive as _.
function fields_or_refusal(): array {
    // PHP drops the fields past max_input_vars without a word, as it does
    // files: one fewer makes an upload that reached it a refused one.
    $maxFields = lower_limit(MAX_FIELDS, max(1, (int)ini_get('max_input_vars') - 1));
    $fields = [];
    $add = function (string $name, $value) use (&$add, &$fields): void {
        if (is_array($value)) {
            foreach ($value as $key => $item) $add("{$name}[$key]", $item);
        } else {
            $fields[] = ['name' => $name, 'value' => (string)$value];
        }
    };
    foreach ($_POST as $name => $value) $add((string)$name, $value);
    if (count($fields) > $maxFields) {
        return [[413, 'Refused: more than ' . plural($maxFields, 'field') . ' in one upload; nothing stored.'], []];
    }
    foreach ($fields as &$field) {
        if (strlen($field['value']) > MAX_FIELD_BYTES) {
            $shown = decoded($field['name'])[1];
            return [[413, "Refused: the field $shown is longer than " . MAX_FIELD_BYTES . ' bytes; nothing stored.'], []];
        }
        // Read as the file names are: a character CP949 lacks comes as a
        // reference here too.
        $field = ['name' => with_characters(decoded($field['name'])[0]),
                  'value' => with_characters(decoded($field['value'])[0])];
    }
    unset($field);
    return [null, $fields];
}

function discard(array $parts): void {
    foreach ($parts as $part) {
        if (isset($part['stored'])) @unlink(UPLOAD_DIR . '/' . $part['stored']);
    }
}

function receive(): void {
    foreach (['MAX_FILES', 'MAX_FILE_BYTES', 'MAX_UPLOAD_BYTES', 'MAX_FIELDS', 'MAX_FIELD_BYTES'] as $name) {
        if (constant($name) === null) {
            reply(500, "The setting BRIMLET_$name is not a whole number; nothing stored.");
            return;
        }
    }
    // Compared in constant time: the time taken tells nothing of the token.
    if (UPLOAD_TOKEN !== '' && !hash_equals(UPLOAD_TOKEN, (string)($_SERVER['HTTP_X_UPLOAD_TOKEN'] ?? ''))) {
        reply(403, 'Refused: the upload token is missing or wrong; nothing stored.');
        return;
    }
    if (stripos($_SERVER['CONTENT_TYPE'] ?? '', 'multipart/form-data') !== 0) {
        reply(400, 'Not a multipart upload.');
        return;
    }
    $length = (string)($_SERVER['CONTENT_LENGTH'] ?? '');
    if (!ctype_digit($length)) {
        reply(411, 'Content-Length is required.');
        return;
    }
    $maxUpload = lower_limit(MAX_UPLOAD_BYTES, ini_bytes((string)ini_get('post_max_size')));
    if ((int)$length > $maxUpload) {
        reply(413, "Refused: the upload is larger than $maxUpload bytes; nothing stored.");
        return;
    }
    $why = folder_refusal();
    if ($why !== null) {
        error_log('receive.php: ' . $why . ': ' . UPLOAD_DIR);
        reply(500, "Not stored: $why; see README.md.");
        return;
    }
    [$refusal, $fields] = fields_or_refusal();
    if ($refusal === null) [$refusal, $parts] = parts_or_refusal();
    if ($refusal !== null) {
        reply(...$refusal);
        return;
    }
    foreach ($parts as &$part) {
        $part['stored'] = create_stored_file(UPLOAD_DIR, stored_extension($part['name']));
        $path = UPLOAD_DIR . '/' . $part['stored'];
        if ($part['stored'] === null || !move_uploaded_file($part['tmp'], $path) || !chmod($path, 0600)) {
            error_log("receive.php: cannot store {$part['field']} in " . UPLOAD_DIR);
            discard($parts);
            reply(500, "Could not store {$part['field']}; nothing stored.");
            return;
        }
    }
    unset($part);

    $index = '';
    $listing = 'Stored ' . plural(count($parts), 'file') . '.';
    foreach ($parts as $p) {
        $index .= "{$p['stored']}\t{$p['size']}\t{$p['type']}\t{$p['name']}\n";
        $listing .= "\r\n{$p['shown']} (" . plural($p['size'], 'byte') . ", {$p['type']}) stored as {$p['stored']}";
    }
    if (!append_to_index($index)) {
        error_log('receive.php: cannot write the index in ' . UPLOAD_DIR);
        discard($parts);
        reply(500, 'Could not write the index; nothing stored.');
        return;
    }
    @chmod(UPLOAD_DIR . '/' . INDEX, 0600);
    $files = array_map(fn($p) => ['name' => $p['name'], 'size' => $p['size'], 'type' => $p['type'],
                                  'stored' => $p['stored']], $parts);
    reply(200, $listing, ['message' => 'Stored ' . plural(count($parts), 'file') . '.',
                          'files' => $files, 'fields' => $fields]);
}

// ----------------------------------------------------------------- origins

// The request's Origin when ALLOWED_ORIGINS lists it ("null", the origin of
// a page without an address, never counts as listed), else null.
function listed_origin(): ?string {
    $origin = (string)($_SERVER['HTTP_ORIGIN'] ?? '');
    $listed = $origin !== '' && $origin !== 'null' && in_array(strtolower($origin), ALLOWED_ORIGINS, true);
    return $listed ? $origin : null;
}

// The headers that let a page of that origin read the reply, sent with
// the user's cookies.
function allow_origin(string $origin): void {
    header("Access-Control-Allow-Origin: $origin");
    header('Access-Control-Allow-Credentials: true');
    header('Vary: Origin');
}

// The question a page on another origin asks before it sends its own
// headers: allowed for a listed origin, refused for any other.
function answer_preflight(): void {
    $origin = listed_origin();
    if ($origin === null) {
        reply(403, 'Refused: pages of this origin may not upload here.');
        return;
    }
    http_response_code(204);
    header('X-Content-Type-Options: nosniff');
    allow_origin($origin);
    header('Access-Control-Allow-Methods: POST');
    $names = preg_split('/[ \t]*,[ \t]*/', trim((string)($_SERVER['HTTP_ACCESS_CONTROL_REQUEST_HEADERS'] ?? '')),
                        -1, PREG_SPLIT_NO_EMPTY);
    $token = TOKEN;
    if ($names && !preg_grep("/^$token\$/", $names, PREG_GREP_INVERT)) {
        header('Access-Control-Allow-Headers: ' . implode(', ', $names));
    }
}

$method = $_SERVER['REQUEST_METHOD'] ?? 'GET';
if ($method === 'OPTIONS' && isset($_SERVER['HTTP_ORIGIN'], $_SERVER['HTTP_ACCESS_CONTROL_REQUEST_METHOD'])) {
    answer_preflight();
} elseif ($method === 'POST') {
    if (($origin = listed_origin()) !== null) allow_origin($origin);
    receive();
} else {
    reply(200, 'Upload receiver: POST the files as FILE1, FILE2, ...');
}
