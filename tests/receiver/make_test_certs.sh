#!/bin/sh
# Makes throwaway TLS material for the receiver in FOLDER:
#   ca.pem ca.der           a test certificate authority (DER for Windows stores)
#   server.pem server.key   a certificate for DNS name "localhost", signed by it
#   stranger.pem stranger.key
#                           a "localhost" certificate signed by another authority
#                           that is never trusted anywhere
# Nothing outside FOLDER changes. Usage: make_test_certs.sh FOLDER
set -eu
out=${1:?usage: make_test_certs.sh FOLDER}
mkdir -p "$out"
cd "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/server.ext" <<'EXT'
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
EXT

# authority NAME: a self-signed authority in NAME.pem / NAME.key
authority() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 \
    -subj "/O=Brimlet Tests/CN=$2" -keyout "$work/$1.key" -out "$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

# leaf NAME AUTHORITY: a "localhost" certificate in NAME.pem / NAME.key
leaf() {
  openssl req -newkey rsa:2048 -nodes -sha256 -subj "/O=Brimlet Tests/CN=localhost" \
    -keyout "$1.key" -out "$work/$1.csr" 2>/dev/null
  openssl x509 -req -in "$work/$1.csr" -CA "$2.pem" -CAkey "$work/$2.key" \
    -CAcreateserial -CAserial "$work/$2.srl" -days 825 -sha256 \
    -extfile "$work/server.ext" -out "$1.pem" 2>/dev/null
}

authority ca "Brimlet Test Authority"
authority stranger-ca "Brimlet Stranger Authority"
leaf server ca
leaf stranger stranger-ca
openssl x509 -in ca.pem -outform DER -out ca.der
rm -f stranger-ca.pem
