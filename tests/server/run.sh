#!/usr/bin/env bash
# Feeds each example receiver (PHP, Node.js, Python) the bodies the control
# sends and checks what it stored, byte for byte and name for name.
#   run.sh PATH/TO/make_upload_body [php|node|python ...]
# Prints one line per check and "N passed, N failed" at the end.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
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
  if ! (cd "$here/../../examples/server" && npm ci --no-audit --no-fund --loglevel=error); then
    echo "FAIL npm ci in examples/server"; echo "0 passed, 1 failed"; exit 1
  fi
fi

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
printf '첫 번째 같은 이름\r\n' >"$files/same1"
printf 'second file with the same base name\n' >"$files/same2"
printf 'report\r\n' >"$files/korean"
printf 'escaped?\n' >"$files/evil"
printf 'dots only\n' >"$files/dots"
printf 'hidden\n' >"$files/hidden"
printf 'reserved\n' >"$files/reserved"
printf 'bad bytes\n' >"$files/undecodable"
printf 'device\n' >"$files/device"
printf 'slash\n' >"$files/slash"
printf '%s' "$(head -c 40 /dev/zero | tr '\0' 'x')" >"$files/long"

cp949() { printf '%s' "$1" | iconv -f UTF-8 -t CP949; }
long_name=$(printf '가%.0s' $(seq 120))  # 120 syllables: 240 bytes in CP949, 360 in UTF-8

# What the control would list for each file, and the name the receivers
# must store it under.
listed=(
  'C:\docs\empty.txt'                         empty        'empty.txt'
  'C:\docs\data\binary.bin'                   binary       'binary.bin'
  'C:\a\same.txt'                             same1        'same.txt'
  "$(cp949 'C:\문서\보고서.hwp')"             korean       '보고서.hwp'
  'D:\b\same.txt'                             same2        'same (2).txt'
  '..\..\evil.txt'                            evil         'evil.txt'
  'C:\docs\..'                                dots         'FILE7'
  'C:\web\.htaccess'                          hidden       'htaccess'
  'C:\x\a<b>:c|d?.txt'                        reserved     'a_b__c_d_.txt'
  $'C:\\x\\\xff\xfe.bin'                      undecodable  '__.bin'
  'C:\x\con.txt'                              device       '_con.txt'
  '/etc/cron.d/job'                           slash        'job'
  "C:\\x\\$(cp949 "$long_name").txt"          long         "$(printf '가%.0s' $(seq 65)).txt"
)
args=()
for ((i = 0; i < ${#listed[@]}; i += 3)); do
  args+=(--file "$files/${listed[i+1]}" "${listed[i]}")
done
"$make_body" --out "$work/body" --headers "$work/headers" --type application/octet-stream "${args[@]}" \
  >"$work/length" || { echo "FAIL make_upload_body"; echo "0 passed, 1 failed"; exit 1; }
"$make_body" --out "$work/body2" --headers "$work/headers" --file "$files/same2" 'E:\same.txt' >/dev/null
expected_count=$((${#listed[@]} / 3))
"$make_body" --out "$work/cut_body" --file "$files/korean" 'C:\first.txt' \
  --file "$files/binary" 'C:\second.bin' --file "$files/binary" 'C:\third.bin' >/dev/null
check "the body is as long as the control declares" \
  [ "$(stat -c %s "$work/body")" = "$(cat "$work/length")" ]

post() {  # post PORT BODY: prints the reply body, then the status on a line of its own
  local out
  out=$(mktemp "$work/reply.XXXXXX")
  local status
  status=$(curl -s --http1.0 --max-time 30 -H @"$work/headers" --data-binary @"$2" \
                -o "$out" -w '%{http_code}' "http://127.0.0.1:$1/receive")
  cat "$out"; rm -f "$out"
  printf '%s' "$status"
}

# ------------------------------------------------------------ each receiver
for kind in "${kinds[@]}"; do
  uploads=$work/$kind/uploads
  mkdir -p "$uploads"
  bash "$here/serve.sh" "$kind" --dir "$uploads" --port-file "$work/$kind/port" \
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

  reply=$(post "$port" "$work/body")
  check "$kind: reply counts every stored file" \
    same_text "$reply" "Stored $expected_count files."$'\r\n200'
  for ((i = 0; i < ${#listed[@]}; i += 3)); do
    name=${listed[i+2]}
    check "$kind: ${listed[i+1]} stored as '$name', byte for byte" \
      cmp -s "$files/${listed[i+1]}" "$uploads/$name"
  done
  check "$kind: nothing else in the folder" \
    [ "$(find "$uploads" -mindepth 1 | wc -l)" = "$expected_count" ]
  check "$kind: nothing written beside the folder" \
    [ -z "$(find "$work/$kind" -mindepth 1 -maxdepth 1 ! -name uploads ! -name log ! -name 'port*' ! -name lease)" ]

  reply=$(post "$port" "$work/body2")
  check "$kind: a later upload of a taken name gets the next free one" \
    same_text "$reply" "Stored 1 file."$'\r\n200'
  check "$kind: ... and leaves the earlier files as they were" \
    bash -c "cmp -s '$files/same1' '$uploads/same.txt' && cmp -s '$files/same2' '$uploads/same (2).txt' && cmp -s '$files/same2' '$uploads/same (3).txt'"

  reply=$(curl -s --http1.0 --max-time 10 -H 'Content-Type: text/plain' --data-binary 'x' \
               -w '%{http_code}' "http://127.0.0.1:$port/receive")
  check "$kind: a body that is not multipart is refused" \
    same_text "$reply" "Not a multipart upload."$'\r\n400'

  # A client that stops two thirds into the body and closes its side: the
  # part it was in must not be left behind as a short file.
  rm -rf "$uploads"/*
  python3 - "$port" "$work/cut_body" <<'PY' >/dev/null
import socket, sys
port, body = int(sys.argv[1]), open(sys.argv[2], "rb").read()
head = ("POST /receive HTTP/1.0\r\nContent-Type: multipart/form-data; "
        "boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Length: %d\r\n\r\n" % len(body))
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
  check "$kind: a body cut short leaves no short file" \
    bash -c "[ ! -e '$uploads/third.bin' ] && for f in '$uploads'/*; do [ ! -e \"\$f\" ] || cmp -s \"\$f\" '$files/binary' || cmp -s \"\$f\" '$files/korean' || exit 1; done"

  rm -f "$work/$kind/lease"
  for _ in $(seq 100); do [ -e "$work/$kind/port" ] || break; sleep 0.1; done
  check "$kind: the receiver stops when its lease is gone" [ ! -e "$work/$kind/port" ]
  check "$kind: ... and its port is closed" \
    bash -c "! curl -s -o /dev/null --max-time 2 http://127.0.0.1:$port/"
done

finish
