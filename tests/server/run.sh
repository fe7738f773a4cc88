#!/usr/bin/env bash
# Feeds each example receiver (PHP, Node.js, Python) the bodies the control
# sends and checks what it stored: byte for byte, under a name of its own
# making, with the client's name, size and type in its index and its reply;
# the page's form fields and the stored files in a JSON reply when asked;
# nothing from a request without the upload token; the CORS answers only to
# a page of a listed origin.
#   run.sh PATH/TO/make_upload_body [php|node|python ...]
# Prints one line per check and "N passed, N failed" at the end.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
scripts=$(cd "$here/../../examples/server" && pwd)
make_body=${1:?usage: run.sh PATH/TO/make_upload_body [kinds...]}
shift
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(php node python)

work=$(mktemp -d /tmp/brimlet-servers.XXXXXX)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

source "$here/../checks.sh"
same_text() { [ "$1" = "$2" ] || { printf '  expected: %q\n  actual:   %q\n' "$2" "$1"; return 1; }; }

for tool in php node npm python3 curl iconv; do
  command -v "$tool" >/dev/null || { echo "FAIL $tool is not installed (./dev installs it)"; echo "0 passed, 1 failed"; exit 1; }
done

# A clean install of the Node receiver's packages, as its README says.
if [[ " ${kinds[*]} " == *" node "* ]]; then
  if ! (cd "$scripts" && npm ci --no-audit --no-fund --loglevel=error); then
    echo "FAIL npm ci in examples/server"; echo "0 passed, 1 failed"; exit 1
  fi
fi
# Whatever a receiver writes, it writes nowhere in its own folder.
touch "$work/started"
script_folder_untouched() {
  [ -z "$(find "$scripts" -path "$scripts/node_modules" -prune -o -newer "$work/started" -print)" ]
}

# ------------------------------------------------------------ the files
files=$work/files
mkdir -p "$files"
: >"$files/empty"
# CR LF pairs, NUL, 0xFF and near misses of the delimiter line inside the
# data (the exact line cannot be sent: the boundary is fixed), then enough
# random bytes to cross every read and write size on the way, and an end
# that starts the delimiter over.
{
  printf 'a\r\nb\r\n\r\n\0\377'
  printf 'x----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n'
  printf '\r\n---MULTI-PARTS-FORM-DATA-BOUNDARY\r\n'
  printf '\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR\r\n'
  printf 'Content-Disposition: form-data; name="FILE9"; filename="x"\r\n\r\n'
  printf '\r\n--\r\n\r\n----MULTI\r\n'
  head -c 300000 /dev/urandom
  printf '\r\n----MULTI-PARTS-FORM-DATA-'
} >"$files/binary"
cp "$files/binary" "$files/too_large" && printf 'x' >>"$files/too_large"
printf '첫 번째 같은 이름\r\n' >"$files/same1"
printf 'second file with the same base name\n' >"$files/same2"
for name in korean evil folder hidden reserved undecodable photo slash long tab; do
  printf '%s\r\n' "$name" >"$files/$name"
done
printf '<?php echo 6*7;' >"$files/shell"
printf '<?php echo 6*7; ?>\n' >"$files/phtml"

cp949() { printf '%s' "$1" | iconv -f UTF-8 -t CP949; }
long_name=$(printf '가%.0s' $(seq 120))  # 120 syllables: 240 bytes in CP949, 360 in UTF-8
octets=application/octet-stream

# What the control would list for each file, the type it would send, and
# what the receivers must keep: the client's name and type in the index, and
# the extension the stored file may have.
listed=(
# listed path                        local        name kept          ext   type sent (and kept)
  'C:\docs\empty.txt'                empty        'empty.txt'        txt   "$octets"
  'C:\docs\data\binary.bin'          binary       'binary.bin'       ''    "$octets"
  'C:\a\same.txt'                    same1        'same.txt'         txt   'Text/Plain; charset=x'
  "$(cp949 'C:\문서\보고서.hwp')"    korean       '보고서.hwp'       hwp   "$octets"
  'D:\b\same.txt'                    same2        'same.txt'         txt   'text/plain'
  '..\..\evil.txt'                   evil         'evil.txt'         txt   "$octets"
  'C:\docs/'                         folder       'FILE7'            ''    "$octets"
  'C:\web\.htaccess'                 hidden       '.htaccess'        ''    "$octets"
  'C:\x\a<b>:c|d?.txt'               reserved     'a<b>:c|d?.txt'    txt   'not a type'
  $'C:\\x\\\xff\xfe.bin'             undecodable  '__.bin'           ''    "$octets"
  'C:\x\Photo.JPG'                   photo        'Photo.JPG'        jpg   'image/jpeg'
  '/etc/cron.d/job'                  slash        'job'              ''    "$octets"
  "C:\\x\\$(cp949 "$long_name").txt" long         "$long_name.txt"   txt   "$octets"
  $'C:\\x\\tab\there.txt'            tab          'tab_here.txt'     txt   "$octets"
)
type_kept() {  # what the receivers keep of a type sent
  case "$1" in 'Text/Plain; charset=x') echo text/plain ;; 'not a type') echo text/plain ;; *) echo "$1" ;; esac
}
row_of() { local i; for ((i = 0; i < ${#listed[@]}; i += 5)); do [ "${listed[i+1]}" != "$1" ] || echo $((i / 5)); done; }
args=()
for ((i = 0; i < ${#listed[@]}; i += 5)); do
  args+=(--type "${listed[i+4]}" --file "$files/${listed[i+1]}" "${listed[i]}")
done
expected_count=$((${#listed[@]} / 5))
body() {  # body NAME ARGS...: writes $work/NAME, or fails the run
  "$make_body" --out "$work/$1" --headers "$work/headers" "${@:2}" >"$work/$1.length" ||
    { echo "FAIL make_upload_body"; echo "0 passed, 1 failed"; exit 1; }
}
body main "${args[@]}"
body later --file "$files/same2" 'E:\same.txt'
body shells --file "$files/shell" 'C:\x\shell.php' --file "$files/phtml" 'C:\x\x.phtml'
body cut --file "$files/korean" 'C:\first.txt' --file "$files/binary" 'C:\second.bin'
many=(); for i in $(seq 17); do many+=(--file "$files/evil" "C:\\many\\$i.txt"); done
body too_many "${many[@]}"
body too_large --file "$files/korean" 'C:\ok.txt' --file "$files/too_large" "$(cp949 'C:\큰 파일.zip')"
note_value='따옴표 " 역슬래시 \ 끝/'
body flow --field 'record&#233;' 'caf&#233; &#8238;42' --field "$(cp949 메모)" "$(cp949 "$note_value")" \
  --file "$files/korean" "$(cp949 'C:\문서\보고서.hwp')"
# Characters that CP949 lacks, written as the control writes them: as
# decimal character references among the CP949 bytes.
body refs --file "$files/korean" "$(cp949 'C:\x\')caf&#233; $(cp949 보고서) &#3652;&#3607;&#3618; &#128512;.txt" \
  --file "$files/evil" 'C:\x\&#55357;&#47;&#65;&#x41;&#159;&#12345678;&#;&#8232;&#8233;&#8206;&#8207;&#8234;&#8238;&#8294;&#8297;.txt'
body too_many_fields --field a 1 --field b 2 --field c 3 --file "$files/evil" 'C:\x.txt'
body too_long_field --field "$(cp949 메모)" "$(cp949 "$note_value")x" --file "$files/evil" 'C:\x.txt'
body too_long --file "$files/binary" 'C:\1.bin' --file "$files/binary" 'C:\2.bin' \
  --file "$files/binary" 'C:\3.bin' --file "$files/binary" 'C:\4.bin'
# Bodies of a shape the control never sends: a file whose data holds a
# delimiter line and a part header of its own, files out of their order, a
# field after a file; fields whose names hold a parameter or markup.
printf 'first\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; name="FILE3"; filename="C:\\x\\planted.txt"\r\nContent-Type: text/plain\r\n\r\nplanted' >"$files/planted"
body planted --file "$files/planted" 'C:\x\a.txt' --file "$files/evil" 'C:\x\b.txt'
part() {  # part NAME [FILENAME]: a delimiter line and a part header
  printf '\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; name="%s"%s\r\n\r\n' \
    "$1" "${2+; filename=\"$2\"}"
}
end_of_parts() { printf '\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n'; }
{ part FILE2 'C:\x\b.txt'; printf two; part FILE1 'C:\x\a.txt'; printf one; end_of_parts; } >"$work/swapped"
{ part FILE1 'C:\x\a.txt'; printf one; part note; printf late; end_of_parts; } >"$work/field_after"
{ part 'note; filename=x.txt'; printf v; part '</script>&'; printf '<b>'; part FILE1 'C:\x\a.txt'; printf one
  end_of_parts; } >"$work/odd_fields"
check "the body is as long as the control declares" \
  [ "$(stat -c %s "$work/main")" = "$(cat "$work/main.length")" ]

# The receivers' own limits: a file may be exactly as large as the binary
# one; an upload may hold 16 files, 1,000,000 bytes and two fields, and a
# field's value may be exactly as long as the note. Every request must carry
# the token.
export BRIMLET_MAX_FILES=16 BRIMLET_MAX_FILE_BYTES=$(stat -c %s "$files/binary") BRIMLET_MAX_UPLOAD_BYTES=1000000
export BRIMLET_MAX_FIELDS=2 BRIMLET_MAX_FIELD_BYTES=$(cp949 "$note_value" | wc -c)
export BRIMLET_UPLOAD_TOKEN=tok-5d1e9a
# A client silent for 2 s is dropped; Python serves 3 requests at once.
export BRIMLET_IDLE_SECONDS=2 BRIMLET_MAX_REQUESTS=3
token_header="X-Upload-Token: $BRIMLET_UPLOAD_TOKEN"

# post PORT BODY [PATH [TOKEN]]: prints the reply body (a JSON one as it is
# and with a line end, any other decoded from CP949), then the status on a
# line of its own. TOKEN is sent instead of the right one; - sends none.
post() {
  local out status sent=${4-$BRIMLET_UPLOAD_TOKEN} token=()
  [ "$sent" = - ] || token=(-H "X-Upload-Token: $sent")
  out=$(mktemp "$work/reply.XXXXXX")
  status=$(curl -s --http1.0 --max-time 30 -H @"$work/headers" "${token[@]}" --data-binary @"$work/$2" \
                -o "$out" -w '%{http_code} %{content_type}' "http://127.0.0.1:$1${3:-/receive}")
  case "$status" in
    *' application/json; charset=utf-8') cat "$out"; echo ;;
    *) iconv -f CP949 -t UTF-8 "$out" ;;
  esac
  rm -f "$out"
  printf '%s' "${status%% *}"
}
snapshot() { (cd "$1" 2>/dev/null && find . -type f -printf '%p %s\n' | sort && cat index.tsv 2>/dev/null); }

# Reads index.tsv lines FROM.. of folder $1 into the arrays stored, sizes,
# types and names.
read_index() {
  stored=() sizes=() types=() names=()
  local s z t n
  while IFS=$'\t' read -r s z t n; do
    stored+=("$s") sizes+=("$z") types+=("$t") names+=("$n")
  done < <(tail -n "+$2" "$1/index.tsv" 2>/dev/null)
}
# The reply line the receivers give for index entry $1 of the arrays.
reply_line() { printf '%s (%s bytes, %s) stored as %s' "${names[$1]}" "${sizes[$1]}" "${types[$1]}" "${stored[$1]}"; }

# The ordinary way to serve PHP: a document root with the script in it.
# site ENV=VALUE...: serves $work/site with php -S; sets site_port, site_pid.
site() {
  site_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  env "$@" php -S "127.0.0.1:$site_port" -t "$work/site" >>"$work/site.log" 2>&1 &
  site_pid=$!
  pids+=("$site_pid")
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$site_port/" && return 0; sleep 0.1; done
  return 1
}
site_stop() { kill "$site_pid" 2>/dev/null; wait "$site_pid" 2>/dev/null; }

# A part named C:\x\shell.php, served from a document root: refused while
# the upload folder is under it, and, when that is allowed, stored without
# its extension so that a GET hands out its bytes instead of running them.
php_site_does_not_run_uploads() {
  mkdir -p "$work/site" && cp "$scripts/receive.php" "$work/site/"
  local uploads=$work/site/uploads reply
  site BRIMLET_UPLOAD_DIR="$uploads" || return 1
  reply=$(post "$site_port" shells /receive.php)
  site_stop
  same_text "$reply" $'Not stored: the upload folder is under the web server\'s document root; see README.md.\r\n500' &&
    [ ! -e "$uploads" ] || return 1
  site BRIMLET_UPLOAD_DIR="$uploads" BRIMLET_STORE_UNDER_DOCUMENT_ROOT=1 || return 1
  reply=$(post "$site_port" shells /receive.php)
  read_index "$uploads" 1
  local got
  got=$(curl -s --max-time 10 "http://127.0.0.1:$site_port/uploads/${stored[0]}")
  site_stop
  [ "${reply: -3}" = 200 ] && [[ ${stored[0]} =~ ^[0-9a-f]{32}$ ]] && same_text "$got" "$(cat "$files/shell")"
}

# cors PORT METHOD ORIGIN CURL-ARGS...: the answer's status, then its
# Access-Control-* and Vary headers (names in lower case, sorted).
cors() {
  local answer
  answer=$(curl -s --http1.0 --max-time 10 -X "$2" -H "Origin: $3" "${@:4}" -o /dev/null -D - \
                "http://127.0.0.1:$1/receive" | tr -d '\r')
  printf '%s\n' "${answer%%$'\n'*}" | cut -d' ' -f2
  printf '%s\n' "$answer" | grep -i '^\(access-control-\|vary:\)' | sed 's/^[^:]*/\L&/' | sort
}
preflight=(-H 'Access-Control-Request-Method: POST' -H 'Access-Control-Request-Headers: X-Upload-Token, X-Record')
upload=(-H @"$work/headers" -H "$token_header" --data-binary @"$work/later")
page=https://pages.example.test
allowed=$'access-control-allow-credentials: true\naccess-control-allow-origin: '$page$'\nvary: Origin'

# ------------------------------------------------------------ each receiver
for kind in "${kinds[@]}"; do
  # The upload folder inside the receiver's own temporary folder, made by
  # the receiver: nothing else may be left beside it.
  mkdir -p "$work/$kind/tmp"
  uploads=$work/$kind/tmp/brimlet-uploads
  TMPDIR=$work/$kind/tmp bash "$here/serve.sh" "$kind" --dir "$uploads" --port-file "$work/$kind/port" \
       --lease "$work/$kind/lease" --log "$work/$kind/log" --idle-timeout 120 &
  pids+=($!)
  touch "$work/$kind/lease"
  for _ in $(seq 300); do [ -s "$work/$kind/port" ] && break; sleep 0.1; done
  if [ ! -s "$work/$kind/port" ]; then
    check "$kind: receiver starts" false
    cat "$work/$kind/log"
    continue
  fi
  port=$(cat "$work/$kind/port")

  reply=$(post "$port" main)
  read_index "$uploads" 1
  expected_reply="Stored $expected_count files."
  for ((f = 0; f < ${#stored[@]}; ++f)); do expected_reply+=$'\r\n'$(reply_line "$f"); done
  check "$kind: the reply lists every file with its name, size, type and stored name" \
    same_text "$reply" "$expected_reply"$'\r\n200'
  for ((i = 0, f = 0; i < ${#listed[@]}; i += 5, ++f)); do
    local_file=$files/${listed[i+1]} ext=${listed[i+3]:+.${listed[i+3]}}
    check "$kind: ${listed[i+1]} stored as '${stored[f]:-}' byte for byte, the index naming it '${listed[i+2]}'" \
      bash -c '[[ $1 =~ ^[0-9a-f]{32}$2$ ]] && cmp -s "$3" "$4/$1" &&
               [ "$5|$6|$7" = "$(stat -c %s "$3")|$8|$9" ]' _ \
      "${stored[f]:-}" "$ext" "$local_file" "$uploads" "${sizes[f]:-}" "${types[f]:-}" "${names[f]:-}" \
      "$(type_kept "${listed[i+4]}")" "${listed[i+2]}"
  done
  check "$kind: nothing else in the folder, nothing beside it, and no name given twice" \
    bash -c '[ "$(find "$1" -mindepth 1 | wc -l)" = $(($2 + 1)) ] &&
             [ "$(ls "$3")" = brimlet-uploads ] && [ "$(cut -f1 "$1/index.tsv" | sort -u | wc -l)" = "$2" ]' _ \
    "$uploads" "$expected_count" "$work/$kind/tmp"
  earlier=("${stored[@]}")

  reply=$(post "$port" later)
  read_index "$uploads" $((expected_count + 1))
  check "$kind: a later upload of a taken name is stored apart, the earlier files as they were" \
    bash -c '[ "$1" = "$2" ] && [[ " $6 " != *" $3 "* ]] && cmp -s "$4/$3" "$5/same2" &&
             cmp -s "$4/$7" "$5/same1" && cmp -s "$4/$8" "$5/same2"' _ \
    "$reply" "Stored 1 file."$'\r\n'"$(reply_line 0)"$'\r\n200' "${stored[0]:-}" "$uploads" "$files" \
    "${earlier[*]}" "${earlier[$(row_of same1)]}" "${earlier[$(row_of same2)]}"

  reply=$(post "$port" shells)
  read_index "$uploads" $((expected_count + 2))
  check "$kind: C:\\x\\shell.php and x.phtml are stored without their extensions, outside the script's folder, under their names in the index" \
    bash -c '[ "${1: -3}" = 200 ] && [ "$2|$3" = "shell.php|x.phtml" ] &&
             [[ $4 =~ ^[0-9a-f]{32}$ && $5 =~ ^[0-9a-f]{32}$ ]] &&
             cmp -s "$6/$4" "$7/shell" && cmp -s "$6/$5" "$7/phtml" && [[ $(realpath "$6")/ != "$8"/* ]]' _ \
    "$reply" "${names[0]:-}" "${names[1]:-}" "${stored[0]:-}" "${stored[1]:-}" "$uploads" "$files" "$scripts"
  reply=$(post "$port" flow '/receive?reply=json')
  read_index "$uploads" $((expected_count + 4))
  check "$kind: asked for JSON, the reply lists the stored file and the fields as sent, decoded from CP949, their references read as in names" \
    bash -c '[ "$1" = "$2" ] && cmp -s "$3/$4" "$5"' _ "$reply" \
    '{"ok":true,"message":"Stored 1 file.","files":[{"name":"보고서.hwp","size":'"$(stat -c %s "$files/korean")"',"type":"application/octet-stream","stored":"'"${stored[0]:-}"'"}],"fields":[{"name":"recordé","value":"café \u0026#8238;42"},{"name":"메모","value":"따옴표 \" 역슬래시 \\ 끝/"}]}'$'\n200' \
    "$uploads" "${stored[0]:-}" "$files/korean"
  reply=$(post "$port" refs '/receive?reply=json')
  read_index "$uploads" $((expected_count + 5))
  check "$kind: the references the control writes for what CP949 lacks are read back in the names kept, any other reference stays as sent" \
    bash -c '[ "${1: -3}" = 200 ] && [[ $1 == *"\"name\":\"$4\""* ]] && [ "$2|$3" = "$4|$5" ] &&
             [[ $6 =~ ^[0-9a-f]{32}\.txt$ ]] && cmp -s "$7/$6" "$8"' _ \
    "$reply" "${names[0]:-}" "${names[1]:-}" 'café 보고서 ไทย 😀.txt' '&#55357;&#47;&#65;&#x41;&#159;&#12345678;&#;&#8232;&#8233;&#8206;&#8207;&#8234;&#8238;&#8294;&#8297;.txt' \
    "${stored[0]:-}" "$uploads" "$files/korean"
  [ "$kind" != php ] || check "php: served from a document root, the upload folder is refused under it, and an upload allowed there is not run" \
    php_site_does_not_run_uploads

  before=$(snapshot "$uploads")
  limits=$(post "$port" too_many; echo; post "$port" too_large; echo; post "$port" too_long; echo
           post "$port" too_many_fields; echo; post "$port" too_long_field '/receive?reply=json'; echo
           post "$port" flow /receive -; echo; post "$port" flow "/receive?reply=json" "${BRIMLET_UPLOAD_TOKEN%?}0")
  check "$kind: more files or fields, a larger file, field or upload than the receiver takes, or a missing or wrong token, is refused and stores nothing" \
    bash -c '[ "$1" = "$2" ] && [ "$3" = "$(cat "$4")" ]' _ "$limits" \
    "Refused: more than 16 files in one upload; nothing stored."$'\r\n413\n'"Refused: 큰 파일.zip is larger than $BRIMLET_MAX_FILE_BYTES bytes; nothing stored."$'\r\n413\n'"Refused: the upload is larger than 1000000 bytes; nothing stored."$'\r\n413\n'\
"Refused: more than 2 fields in one upload; nothing stored."$'\r\n413\n'\
'{"ok":false,"message":"Refused: the field 메모 is longer than '"$BRIMLET_MAX_FIELD_BYTES"' bytes; nothing stored."}'$'\n413\n'\
"Refused: the upload token is missing or wrong; nothing stored."$'\r\n403\n'\
'{"ok":false,"message":"Refused: the upload token is missing or wrong; nothing stored."}'$'\n403' \
    "$before" <(snapshot "$uploads")

  reply=$(curl -s --http1.0 --max-time 10 -H 'Content-Type: text/plain' -H "$token_header" --data-binary 'x' \
               -w '%{http_code}' "http://127.0.0.1:$port/receive")
  check "$kind: a body that is not multipart is refused" \
    same_text "$reply" "Not a multipart upload."$'\r\n400'

  # ------------------------------------------------ hostile clients
  out_of_order="Bad upload body (file parts out of order); nothing stored."$'\r\n400'
  before=$(snapshot "$uploads")
  check "$kind: a file holding a delimiter line and a part header of its own, or files out of their order, are refused and store nothing" \
    same_text "$(post "$port" planted; echo; post "$port" swapped; echo; snapshot "$uploads")" \
    "$out_of_order"$'\n'"$out_of_order"$'\n'"$before"
  # PHP's $_POST and $_FILES keep no order between fields and files.
  [ "$kind" = php ] || check "$kind: a field after a file is refused and stores nothing" \
    same_text "$(post "$port" field_after; echo; snapshot "$uploads")" \
    "Bad upload body (a form field after a file); nothing stored."$'\r\n400\n'"$before"
  reply=$(post "$port" odd_fields '/receive?reply=json')
  read_index "$uploads" $((expected_count + 7))
  # PHP names fields as $_POST does: the space and the dot become _.
  note=note\;\ filename=x.txt; [ "$kind" != php ] || note=note\;_filename=x_txt
  check "$kind: a field whose name holds a file name stays a field, and the JSON reply escapes < > & in it" \
    same_text "$reply" '{"ok":true,"message":"Stored 1 file.","files":[{"name":"a.txt","size":3,"type":"text/plain","stored":"'"${stored[0]:-}"'"}],"fields":[{"name":"'"$note"'","value":"v"},{"name":"\u003C/script\u003E\u0026","value":"\u003Cb\u003E"}]}'$'\n200'
  nosniff=$(for request in "-o /dev/null" "-o /dev/null -X OPTIONS -H Origin:http://elsewhere.test -H Access-Control-Request-Method:POST" \
                           "-H @$work/headers --data-binary @$work/too_long_field" "-H @$work/headers -H X-Upload-Token:0 --data-binary @$work/flow"; do
              # shellcheck disable=SC2086 # the words of each request are its options
              curl -s --http1.0 --max-time 10 -D - -o /dev/null $request "http://127.0.0.1:$port/receive?reply=json" |
                grep -ci '^X-Content-Type-Options: nosniff'
            done | tr '\n' ' ')
  check "$kind: every answer tells a browser to take its type as given: a GET, a refused preflight, refusals that echo a field name" \
    same_text "$nosniff" '1 1 1 1 '
  before=$(snapshot "$uploads")
  chmod 0777 "$uploads"
  refusals=$(post "$port" later)$'\n'
  chmod 0700 "$uploads"
  if [ "$(id -u)" = 0 ]; then  # only root can give the folder to another user
    chown nobody "$uploads"; refusals+=$(post "$port" later)$'\n'; chown 0 "$uploads"
  fi
  printf '<?php // a page of the site\n' >"$work/$kind/page.php"
  mv "$uploads/index.tsv" "$work/$kind/index.tsv" && ln -s "$work/$kind/page.php" "$uploads/index.tsv"
  refusals+=$(post "$port" later)
  rm "$uploads/index.tsv" && mv "$work/$kind/index.tsv" "$uploads/index.tsv"
  foreign="Not stored: the upload folder belongs to another user, or others may write to it; see README.md."$'\r\n500\n'
  [ "$(id -u)" != 0 ] || foreign+=$foreign
  check "$kind: a folder others may write to, or another user's, stores nothing, nor does an index that is a link, whose file is left as it was" \
    same_text "$refusals$(snapshot "$uploads"; cat "$work/$kind/page.php")" \
    "$foreign"'Could not write the index; nothing stored.'$'\r\n500'"$before"$'\n<?php // a page of the site'
  if [ "$kind" != php ]; then  # php -S reads every request whole before the script runs
    check "$kind: a refusal the headers decide is answered without waiting for the body" \
      same_text "$(python3 "$here/hostile.py" early "$port")" 403
    check "$kind: a Content-Length that is no number, given twice, or beside Transfer-Encoding is refused" \
      same_text "$(python3 "$here/hostile.py" length "$port")" "$(printf '400 Bad request headers; nothing stored.|%.0s' 1 2 3 4)"
    # Five uploads stop a third of the way through: Python, serving three at
    # once, answers 503 to one more request until its idle limit frees them.
    busy=200; [ "$kind" != python ] || busy=503
    check "$kind: uploads that stop sending are dropped after the idle limit, and Python answers past its cap at once" \
      same_text "$(python3 "$here/hostile.py" hold "$port" 5)" "$busy 200 5"
  fi

  # A client that stops two thirds into the body and closes its side: the
  # part it was in, and the one it had finished, leave nothing behind.
  python3 - "$port" "$work/cut" "$token_header" <<'PY' >/dev/null
import socket, sys
port, body = int(sys.argv[1]), open(sys.argv[2], "rb").read()
head = ("POST /receive HTTP/1.0\r\nContent-Type: multipart/form-data; "
        "boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n%s\r\nContent-Length: %d\r\n\r\n"
        % (sys.argv[3], len(body)))
connection = socket.create_connection(("127.0.0.1", port), timeout=10)
connection.sendall(head.encode() + body[: len(body) * 2 // 3])
connection.shutdown(socket.SHUT_WR)
try:
    while connection.recv(4096):
        pass
except OSError:
    pass
PY
  sleep 0.3
  check "$kind: a body cut short stores nothing, and nothing is left in the temporary folder" \
    bash -c '[ "$1" = "$(cat "$2")" ] && [ "$(ls "$3")" = brimlet-uploads ]' _ \
    "$before" <(snapshot "$uploads") "$work/$kind/tmp"

  check "$kind: by default no page of another origin is allowed: its preflight is refused, its upload is stored, and neither answer lets it read" \
    same_text "$(cors "$port" OPTIONS "$page" "${preflight[@]}"; cors "$port" POST "$page" "${upload[@]}")" $'403\n200'

  # Another start of this receiver that allows the page's origin, written
  # in other letter case, beside another.
  BRIMLET_ALLOWED_ORIGINS="http://127.0.0.1:8081, HTTPS://Pages.Example.Test" bash "$here/serve.sh" "$kind" \
      --dir "$work/$kind/cors" --port-file "$work/$kind/cors-port" --lease "$work/$kind/lease" \
      --log "$work/$kind/cors-log" --idle-timeout 120 &
  pids+=($!)
  for _ in $(seq 300); do [ -s "$work/$kind/cors-port" ] && break; sleep 0.1; done
  cors_port=$(cat "$work/$kind/cors-port" 2>/dev/null)
  check "$kind: the preflight of a listed origin is allowed, for POST and the page's headers" \
    same_text "$(cors "$cors_port" OPTIONS "$page" "${preflight[@]}")" \
    $'204\naccess-control-allow-credentials: true\naccess-control-allow-headers: X-Upload-Token, X-Record\naccess-control-allow-methods: POST\naccess-control-allow-origin: '$page$'\nvary: Origin'
  check "$kind: ... a header name that is no token is not allowed" \
    same_text "$(cors "$cors_port" OPTIONS "$page" -H 'Access-Control-Request-Method: POST' -H 'Access-Control-Request-Headers: x-a, x(b)' | grep -c allow-headers)" 0
  check "$kind: the upload of a listed origin is stored, and its reply is the page's to read, refusals too" \
    same_text "$(cors "$cors_port" POST "$page" "${upload[@]}"; cors "$cors_port" POST "$page" -H 'Content-Type: text/plain' -H "$token_header" --data-binary x)" \
    "200"$'\n'"$allowed"$'\n400\n'"$allowed"
  check "$kind: another port or scheme is another origin: its preflight is refused, its reply not its to read" \
    same_text "$(cors "$cors_port" OPTIONS "$page:8443" "${preflight[@]}"; cors "$cors_port" POST "${page/https/http}" "${upload[@]}")" $'403\n200'

  # A disk that fills while the index is written: another start of this
  # receiver, whose files may not grow past 8 KiB, its index 28 bytes short.
  full=$work/$kind/full
  mkdir -m 0700 "$full"
  for _ in $(seq 157); do printf '%032d\t1\ttext/plain\tx.txt\n' 0; done >"$full/index.tsv"
  cp "$full/index.tsv" "$work/$kind/full-index"
  (ulimit -f 8; trap '' XFSZ; exec bash "$here/serve.sh" "$kind" --dir "$full" --port-file "$work/$kind/full-port" \
     --lease "$work/$kind/lease" --log "$work/$kind/full-log" --idle-timeout 120) &
  pids+=($!)
  for _ in $(seq 300); do [ -s "$work/$kind/full-port" ] && break; sleep 0.1; done
  check "$kind: a disk that fills while the index is written leaves no file and the index as it was, no half line in it" \
    bash -c '[ "$1" = "$2" ] && [ "$(ls "$3")" = index.tsv ] && cmp -s "$3/index.tsv" "$4"' _ \
    "$(post "$(cat "$work/$kind/full-port" 2>/dev/null)" later)" "Could not write the index; nothing stored."$'\r\n500' \
    "$full" "$work/$kind/full-index"

  if [ "$kind" = php ]; then
    mkdir -p "$work/site" && cp "$scripts/receive.php" "$work/site/" && site && reply=$(post "$site_port" later /receive.php)
    site_stop
    check "php: without an upload folder set, every upload is refused" \
      same_text "$reply" "Not stored: no upload folder is set; see README.md."$'\r\n500'
  else
    script=receive.py; [ "$kind" = python ] || script=receive.js
    check "$kind: without an upload folder set, the receiver does not start, and says why" \
      bash -c 'cd "$1" && ! out=$(env -u BRIMLET_UPLOAD_DIR BRIMLET_PORT=0 timeout 10 "$2" "$3" 2>&1) &&
               [[ $out == *"BRIMLET_UPLOAD_DIR must name the upload folder"* ]]' _ \
      "$scripts" "$([ "$kind" = python ] && echo python3 || echo node)" "$script"
  fi

  rm -f "$work/$kind/lease"
  for _ in $(seq 100); do [ -e "$work/$kind/port" ] || break; sleep 0.1; done
  check "$kind: the receiver stops when its lease is gone" [ ! -e "$work/$kind/port" ]
  check "$kind: ... and its port is closed" \
    bash -c "! curl -s -o /dev/null --max-time 2 http://127.0.0.1:$port/"
done
check "no receiver wrote into its own folder" script_folder_untouched

finish
