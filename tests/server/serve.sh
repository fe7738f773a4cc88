#!/usr/bin/env bash
# Starts one example receiver (examples/server) on a free port of 127.0.0.1
# and keeps it running for a test, native or under Wine:
#
#   serve.sh php|node|python --port-file FILE [--dir UPLOADS]
#            [--lease FILE] [--log FILE] [--idle-timeout SECONDS]
#
# Without --dir the receiver has no upload folder: Node and Python do not
# start, PHP refuses every upload. PHP's server has examples/server as its
# document root, as a site would.
# The port is written to the port file (with a final newline) only once the
# server answers, and the file is removed again when it stops. It stops on
# SIGTERM/SIGINT, when the lease file disappears, or when its log has not
# grown for the idle timeout (300 s by default; every receiver logs each
# request). With --log it lets go of the streams it inherited, so a caller's
# pipe is never held open. A Wine scenario starts it as
#   Z:\bin\bash Z:\...\tests\server\serve.sh node --dir ... --lease ...
set -uo pipefail
# Started from Wine, the inherited PATH may not name the Unix tool folders.
export PATH="/usr/local/bin:/usr/bin:/bin:${PATH:-}"

here=$(cd "$(dirname "$0")" && pwd)
scripts=$(cd "$here/../../examples/server" && pwd)

usage() { echo "serve.sh: $1" >&2; echo "usage: serve.sh php|node|python --port-file FILE [--dir UPLOADS] [--lease FILE] [--log FILE] [--idle-timeout SECONDS]" >&2; exit 2; }

kind=${1:-}; shift || true
case "$kind" in php|node|python) ;; *) usage "unknown receiver '${kind}'" ;; esac
dir= port_file= lease= log= idle=300
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage "missing value after $1"
  case "$1" in
    --dir) dir=$2 ;;
    --port-file) port_file=$2 ;;
    --lease) lease=$2 ;;
    --log) log=$2 ;;
    --idle-timeout) idle=$2 ;;
    *) usage "unknown option $1" ;;
  esac
  shift 2
done
[ -n "$port_file" ] || usage "--port-file is required"
case "$idle" in ''|*[!0-9]*) usage "bad idle timeout" ;; esac
[ -n "$log" ] || log="$port_file.log"
exec </dev/null >>"$log" 2>&1

private=$(mktemp "${port_file}.XXXXXX")
server=
stop() {
  if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then
    kill "$server" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$server" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$server" 2>/dev/null
  fi
  rm -f "$port_file" "$private" "$private.tmp"
}
trap 'stop; exit 0' TERM INT HUP
trap stop EXIT

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start() {
  [ -z "$dir" ] || export BRIMLET_UPLOAD_DIR=$dir
  case "$kind" in
    php)
      # PHP's built-in server takes no port 0: pick one, and try again if
      # someone took it in between.
      port=$(free_port)
      echo "$port" >"$private"
      # PHP's own body limit just above the receiver's, as its README says.
      local body_limit=$(( ${BRIMLET_MAX_UPLOAD_BYTES:-1074790400} + 1048576 ))
      php -d upload_max_filesize=$body_limit -d post_max_size=$body_limit -d max_file_uploads=1000 \
          -d display_errors=stderr -S "127.0.0.1:$port" -t "$scripts" "$scripts/receive.php" &
      ;;
    node)
      if [ ! -d "$scripts/node_modules/busboy" ]; then
        (cd "$scripts" && npm ci --no-audit --no-fund --loglevel=error) || return 1
      fi
      BRIMLET_PORT=0 BRIMLET_PORT_FILE=$private node "$scripts/receive.js" &
      ;;
    python)
      BRIMLET_PORT=0 BRIMLET_PORT_FILE=$private python3 "$scripts/receive.py" &
      ;;
  esac
  server=$!
  for _ in $(seq 100); do
    kill -0 "$server" 2>/dev/null || return 1
    port=$(cat "$private" 2>/dev/null)
    if [ -n "$port" ] && curl -sf -o /dev/null --max-time 2 "http://127.0.0.1:$port/"; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

started=
for attempt in 1 2 3; do
  if start; then started=1; break; fi
  echo "serve.sh: $kind receiver did not start (attempt $attempt)"
  stop
  server=
  : >"$private"
done
[ -n "$started" ] || exit 1
echo "$port" >"$port_file.tmp" && mv "$port_file.tmp" "$port_file"
echo "serve.sh: $kind receiver on 127.0.0.1:$port storing into ${dir:-no folder}"

last=$(stat -c %Y "$log")
quiet_since=$(date +%s)
while kill -0 "$server" 2>/dev/null; do
  if [ -n "$lease" ] && [ ! -e "$lease" ]; then echo "serve.sh: lease gone"; exit 0; fi
  now=$(date +%s)
  mtime=$(stat -c %Y "$log")
  if [ "$mtime" != "$last" ]; then last=$mtime; quiet_since=$now; fi
  if [ $((now - quiet_since)) -ge "$idle" ]; then echo "serve.sh: idle for ${idle}s"; exit 0; fi
  sleep 0.2
done
echo "serve.sh: the $kind receiver ended on its own"
exit 1
