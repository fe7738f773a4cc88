#!/usr/bin/env bash
# Checks the release bundle as an administrator receiving it would: made with
# a throwaway certificate authority, every signature must verify, a changed
# byte must break it, the CABs must open and hold the signed modules, the
# checksums must hold, and bad signing input must stop the release cleanly.
# With sites given, both INFs write them as the control's site lock.
#   run.sh BUILD_ROOT                 the bundle checks (needs both builds)
#   run.sh BUILD_ROOT --wine ARCH     the signed module of ARCH (win32|win64)
#                                     registers and runs under Wine (run from
#                                     that architecture's CTest, in its prefix)
# Prints one line per check and "N passed, N failed" at the end.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_root=$(cd "$here/../.." && pwd)
build_root=$(cd "${1:?usage: run.sh BUILD_ROOT [--wine ARCH]}" && pwd)
release="$source_root/tools/make_release.sh"

work=$(mktemp -d /tmp/brimlet-release.XXXXXX)
restore=()
cleanup() { [ ${#restore[@]} -eq 0 ] || "${restore[@]}" >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT

source "$here/../checks.sh"
contains() { grep -q -- "$2" "$1" || { echo "  expected \"$2\" in:"; sed 's/^/    /' "$1"; return 1; }; }
contains_text() { grep -qF -- "$2" "$1" || { echo "  expected \"$2\" in:"; sed 's/^/    /' "$1"; return 1; }; }
fails() { ! "$@" >/dev/null 2>&1; }
verifies() { osslsigncode verify -CAfile "$1" -in "$2" >"$work/verify.log" 2>&1 || { sed 's/^/    /' "$work/verify.log"; return 1; }; }

# The release run with only the given signing variables, none inherited.
release_with() {  # release_with OUT_DIR [VAR=VALUE...]
  local out=$1; shift
  env -u BRIMLET_SIGN_PKCS12 -u BRIMLET_SIGN_PASSWORD -u BRIMLET_SIGN_CERT -u BRIMLET_SIGN_KEY \
      -u BRIMLET_SIGN_CA -u BRIMLET_SIGN_TIMESTAMP -u BRIMLET_ALLOWED_SITES "$@" \
      bash "$release" "$build_root" "$out" >"$out.stdout" 2>"$out.stderr"
}

# ---------------------------------------------------------- throwaway CA
pki="$work/pki"
mkdir -p "$pki"
make_ca() {  # make_ca NAME
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/$1.key" -out "$pki/$1.pem" -days 2 \
      -subj "/CN=Brimlet throwaway $1" -addext basicConstraints=critical,CA:TRUE \
      -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
}
make_leaf() {  # make_leaf NAME EKU
  openssl req -newkey rsa:2048 -nodes -keyout "$pki/$1.key" -out "$pki/$1.csr" \
      -subj "/CN=Brimlet test $1" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$2" > "$pki/$1.ext"
  openssl x509 -req -in "$pki/$1.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial \
      -days 2 -extfile "$pki/$1.ext" -out "$pki/$1.pem" 2>/dev/null
}
make_ca ca && make_ca stranger && make_leaf signer codeSigning && make_leaf webserver serverAuth &&
  openssl pkcs12 -export -in "$pki/signer.pem" -inkey "$pki/signer.key" -certfile "$pki/ca.pem" \
      -passout pass:correct-horse -out "$pki/signer.p12" &&
  openssl pkcs12 -export -in "$pki/webserver.pem" -inkey "$pki/webserver.key" -certfile "$pki/ca.pem" \
      -passout pass:correct-horse -out "$pki/webserver.p12" ||
  { echo "FAIL making the throwaway certificates"; exit 1; }

version=$(sed -n 's/^[[:space:]]*FILEVERSION[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\).*/\1.\2.\3.\4/p' \
          "$source_root/resources/brimlet.rc" | head -n 1)
name="BRIMLET-$version"

# ---------------------------------------------------------- Wine
if [ "${2:-}" = --wine ]; then
  arch=${3:?usage: run.sh BUILD_ROOT --wine ARCH}
  case "$arch" in win32|i686) arch=win32 cab_arch=x86 loader=/usr/lib/wine/wine ;;
                  win64|x86_64) arch=win64 cab_arch=x64 loader=/usr/lib/wine/wine64 ;;
                  *) echo "unknown architecture $arch"; exit 2 ;; esac
  check "the signed release is made" release_with "$work/out" \
      BRIMLET_SIGN_PKCS12="$pki/signer.p12" BRIMLET_SIGN_PASSWORD=correct-horse
  module="$work/out/$name/$cab_arch/BRIMLET.OCX"
  windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
  # Whatever happens, the scenarios after this one find the build's module
  # registered again.
  restore=("$loader" regsvr32 /s "$(windows_path "$build_root/$arch/BRIMLET.OCX")")
  check "$arch: the signed module registers" \
      "$loader" regsvr32 /s "$(windows_path "$module")"
  "$loader" reg query 'HKCR\CLSID\{63C86E2A-4127-4050-A0F7-CBA35E51CBA6}\InprocServer32' /ve \
      >"$work/server.txt" 2>&1
  tr -d '\r' < "$work/server.txt" > "$work/server.lf"
  check "$arch: the control's class points at the bundle's module" \
      contains_text "$work/server.lf" "$(windows_path "$work/out/$name/$cab_arch")"
  timeout 120 "$loader" cscript.exe //nologo \
      "$(windows_path "$source_root/tests/wine/scripts/defaults_and_round_trip.js")" \
      >"$work/script.txt" 2>&1
  tr -d '\r' < "$work/script.txt" > "$work/script.lf"
  check "$arch: a script creates the signed control by ProgID and reads its defaults" \
      contains "$work/script.lf" "^MaxFileCount=100$"
  check "$arch: the script sets and reads back properties to the end" \
      contains "$work/script.lf" "^done=yes$"
  check "$arch: the build's module is registered again" "${restore[@]}"
  restore=()
  finish
  exit
fi

# ---------------------------------------------------------- signed (PKCS#12)
out="$work/p12"
check "a release signed from a PKCS#12 file succeeds" release_with "$out" \
    BRIMLET_SIGN_PKCS12="$pki/signer.p12" BRIMLET_SIGN_PASSWORD=correct-horse
bundle="$out/$name"
check "it names the signer" contains "$out.stdout" "signed by.*Brimlet test signer"
signed=(x86/BRIMLET.OCX x64/BRIMLET.OCX x86/BRIMLET-x86.cab x64/BRIMLET-x64.cab x86/BRIMLET-x86.msi x64/BRIMLET-x64.msi)
for file in "${signed[@]}"; do
  check "$file verifies against the CA" verifies "$pki/ca.pem" "$bundle/$file"
  check "$file does not verify against another CA" fails verifies "$pki/stranger.pem" "$bundle/$file"
done
for cab_arch in x86 x64; do
  # A byte of the code section changed after signing.
  cp "$bundle/$cab_arch/BRIMLET.OCX" "$work/tampered.ocx"
  printf '\xCC' | dd of="$work/tampered.ocx" bs=1 seek=5000 conv=notrunc status=none
  check "$cab_arch: a byte changed in the signed module breaks its signature" \
      fails verifies "$pki/ca.pem" "$work/tampered.ocx"
  extracted="$work/extract-$cab_arch"
  mkdir -p "$extracted"
  check "$cab_arch: the signed CAB still opens" gcab -x -C "$extracted" "$bundle/$cab_arch/BRIMLET-$cab_arch.cab"
  check "$cab_arch: the CAB holds exactly the INF and the module" \
      test "$(gcab -t "$bundle/$cab_arch/BRIMLET-$cab_arch.cab" | sort | tr '\n' ' ')" = "BRIMLET.INF BRIMLET.OCX "
  check "$cab_arch: the CAB's module is the signed module" cmp "$extracted/BRIMLET.OCX" "$bundle/$cab_arch/BRIMLET.OCX"
  check "$cab_arch: the module inside the CAB verifies on its own" verifies "$pki/ca.pem" "$extracted/BRIMLET.OCX"
  check "$cab_arch: the CAB's INF is the bundle's INF" cmp "$extracted/BRIMLET.INF" "$bundle/$cab_arch/BRIMLET.INF"
  check "$cab_arch: the INF carries the bundle's version" \
      grep -q "^FileVersion=${version//./,}" "$bundle/$cab_arch/BRIMLET.INF"
done
# The fixed version block the system reads (VS_FIXEDFILEINFO), not the text.
file_version() {
  python3 -c 'import struct,sys
data = open(sys.argv[1], "rb").read()
at = data.index(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", data, at + 8)
print("%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))' "$1"
}
for cab_arch in x86 x64; do
  check "$cab_arch: the module's version resource agrees with the archive name" \
      test "$(file_version "$bundle/$cab_arch/BRIMLET.OCX")" = "$version"
done
# Shipped without debug information; the symbols beside the bundle, one file
# a module, which the module names and which resolves its addresses.
for arch in win32:x86:i686 win64:x64:x86_64; do
  IFS=: read -r tree cab_arch tools <<<"$arch"
  debug="$out/$name-$cab_arch.debug"
  check "$cab_arch: the shipped module carries no symbols" \
      test -z "$("$tools-w64-mingw32-nm" "$bundle/$cab_arch/BRIMLET.OCX" 2>/dev/null)"
  check "$cab_arch: it is smaller than the build's by its symbols" \
      test "$(stat -c %s "$bundle/$cab_arch/BRIMLET.OCX")" -lt "$(stat -c %s "$build_root/$tree/BRIMLET.OCX")"
  check "$cab_arch: it names its symbols file, $name-$cab_arch.debug" grep -qa "$name-$cab_arch.debug" "$bundle/$cab_arch/BRIMLET.OCX"
  # (A 32-bit symbol carries a leading underscore and its stdcall suffix.)
  defined=$(grep -n '^STDAPI DllRegisterServer' "$source_root/module/dll_main.cpp" | cut -d: -f1)
  address=$("$tools-w64-mingw32-nm" "$debug" 2>/dev/null | awk '$3 ~ /^_?DllRegisterServer$/ { print "0x" $1; exit }')
  check "$cab_arch: the symbols file resolves an address of the module to its function and line" \
      test "$("$tools-w64-mingw32-addr2line" -f -e "$debug" "${address:-0}" 2>/dev/null | sed 's/@[0-9]*$//' | tr '\n' ' ')" \
           = "DllRegisterServer $source_root/module/dll_main.cpp:$defined "
  check "$cab_arch: the symbols file is not in the bundle" test ! -e "$bundle/$name-$cab_arch.debug"
done
check "SHA256SUMS checks out" bash -c "cd '$bundle' && sha256sum --quiet -c SHA256SUMS"
check "SHA256SUMS lists every other file of the bundle" \
    test "$(cd "$bundle" && find . -type f ! -name SHA256SUMS | wc -l)" = "$(wc -l < "$bundle/SHA256SUMS")"
check "SHA256SUMS names files by relative paths" fails grep -q ' /' "$bundle/SHA256SUMS"
check "the archive's checksum checks out" bash -c "cd '$out' && sha256sum --quiet -c '$name.tar.gz.sha256'"
tar -tzf "$out/$name.tar.gz" > "$work/listing" 2>/dev/null
for file in "${signed[@]}" x86/BRIMLET.INF x64/BRIMLET.INF SHA256SUMS README.md \
            docs/building.md examples/demo.html examples/server/receive.php \
            examples/server/receive.js examples/server/receive.py; do
  check "the archive holds $file" grep -qx "$name/$file" "$work/listing"
done
check "the archive holds no node_modules" fails grep -q node_modules "$work/listing"
mkdir -p "$work/unpacked"
tar -xzf "$out/$name.tar.gz" -C "$work/unpacked"
check "the archive's modules are the folder's signed modules" \
    cmp "$work/unpacked/$name/x86/BRIMLET.OCX" "$bundle/x86/BRIMLET.OCX"
check "no key or password is left in the bundle" \
    fails grep -rlq -e 'PRIVATE KEY' -e correct-horse "$out"

# ---------------------------------------------------------- signed (PEM pair)
out="$work/pem"
check "a release signed from a PEM certificate and key succeeds" release_with "$out" \
    BRIMLET_SIGN_CERT="$pki/signer.pem" BRIMLET_SIGN_KEY="$pki/signer.key" BRIMLET_SIGN_CA="$pki/ca.pem"
for file in "${signed[@]}"; do
  check "PEM: $file verifies against the CA" verifies "$pki/ca.pem" "$out/$name/$file"
done

out="$work/empty-password"
openssl pkcs12 -export -in "$pki/signer.pem" -inkey "$pki/signer.key" -certfile "$pki/ca.pem" \
    -passout pass: -out "$pki/open.p12"
check "a PKCS#12 file without a password signs too" release_with "$out" BRIMLET_SIGN_PKCS12="$pki/open.p12"
check "its module verifies" verifies "$pki/ca.pem" "$out/$name/x64/BRIMLET.OCX"

# ---------------------------------------------------------- site lock
# What setup does with an INF's registry (read as tests/install reads an
# INF): the lines of the sections install names under AddReg, and uninstall
# under DelReg; "LF" when a line does not end in CR LF.
registry_lines() {  # registry_lines INF
  python3 - "$1" "$source_root/tests/install" <<'PY'
import sys
sys.path.insert(0, sys.argv[2])
from check_packages import sections, values
data = open(sys.argv[1], "rb").read()
inf = sections(data.decode("ascii"))
if b"\n" in data.replace(b"\r\n", b""):
    print("LF")
for section, key, what in (("defaultinstall", "addreg", "install"), ("defaultuninstall", "delreg", "uninstall")):
    for name in values(inf.get(section, [])).get(key, "").lower().split(","):
        for line in inf.get(name.strip(), []):
            print(what, line)
PY
}
out="$work/lock"
check "a signed release with sites given succeeds" release_with "$out" \
    BRIMLET_SIGN_PKCS12="$pki/signer.p12" BRIMLET_SIGN_PASSWORD=correct-horse \
    BRIMLET_ALLOWED_SITES=$'https://a.example.com  HTTPS://*.Example.org\nhttp://intranet:8080 https://b.example.com:443'
for arch in win32:x86 win64:x64; do
  cab_arch=${arch##*:} inf="$out/$name/${arch##*:}/BRIMLET.INF"
  check "$cab_arch: installing the INF writes the sites as AllowedSites (REG_MULTI_SZ), in lower case, without a default port; uninstalling deletes it" \
    test "$(registry_lines "$inf")" = \
    'install HKLM,"SOFTWARE\Policies\BRIMLET","AllowedSites",0x10000,"https://a.example.com","https://*.example.org","http://intranet:8080","https://b.example.com"
uninstall HKLM,"SOFTWARE\Policies\BRIMLET","AllowedSites"'
  check "$cab_arch: the rest of the INF is as built" \
    test -z "$(diff "$build_root/${arch%%:*}/package/BRIMLET.INF" "$inf" | grep '^<')"
  mkdir -p "$work/lock-$cab_arch"
  check "$cab_arch: the signed CAB verifies and holds that INF" \
    bash -c 'verifies() { osslsigncode verify -CAfile "$1" -in "$2" >/dev/null 2>&1; }
             verifies "$1" "$2" && gcab -x -C "$3" "$2" && cmp "$3/BRIMLET.INF" "$4"' _ \
    "$pki/ca.pem" "$out/$name/$cab_arch/BRIMLET-$cab_arch.cab" "$work/lock-$cab_arch" "$inf"
done

# ---------------------------------------------------------- bad input
nothing_left() {  # the out folder holds no bundle, archive or half-made folder
  [ -z "$(ls -A "$1" 2>/dev/null)" ] || { echo "  left behind:"; ls -A "$1" | sed 's/^/    /'; return 1; }
}
refused() {  # refused CASE MESSAGE VAR=VALUE...
  local case=$1 message=$2 out="$work/bad-$1"; shift 2
  check "$case: the release stops" fails release_with "$out" "$@"
  check "$case: it says why" contains_text "$out.stderr" "$message"
  check "$case: it leaves no bundle" nothing_left "$out"
}
mkdir -p "$pki/a-folder.p12"
refused missing-file "$pki/absent.p12 does not exist" \
    BRIMLET_SIGN_PKCS12="$pki/absent.p12" BRIMLET_SIGN_PASSWORD=correct-horse
refused unreadable-file "$pki/a-folder.p12 cannot be read" \
    BRIMLET_SIGN_PKCS12="$pki/a-folder.p12" BRIMLET_SIGN_PASSWORD=correct-horse
refused wrong-password "wrong password" \
    BRIMLET_SIGN_PKCS12="$pki/signer.p12" BRIMLET_SIGN_PASSWORD=battery-staple
refused not-code-signing "is not for code signing" \
    BRIMLET_SIGN_PKCS12="$pki/webserver.p12" BRIMLET_SIGN_PASSWORD=correct-horse
refused pem-not-code-signing "is not for code signing" \
    BRIMLET_SIGN_CERT="$pki/webserver.pem" BRIMLET_SIGN_KEY="$pki/webserver.key"
refused missing-key "$pki/absent.key does not exist" \
    BRIMLET_SIGN_CERT="$pki/signer.pem" BRIMLET_SIGN_KEY="$pki/absent.key"
refused key-of-another "does not belong to the certificate" \
    BRIMLET_SIGN_CERT="$pki/signer.pem" BRIMLET_SIGN_KEY="$pki/webserver.key"
refused cert-without-key "without BRIMLET_SIGN_KEY" BRIMLET_SIGN_CERT="$pki/signer.pem"
# Signed, but against a CA that did not issue the certificate: the failure
# comes after work was done, and that work must go.
refused untrusted "does not verify" \
    BRIMLET_SIGN_PKCS12="$pki/signer.p12" BRIMLET_SIGN_PASSWORD=correct-horse \
    BRIMLET_SIGN_CA="$pki/stranger.pem"
refused site-with-path "'https://b.example.com/upload' is not a site" \
    BRIMLET_ALLOWED_SITES="https://a.example.com https://b.example.com/upload"
refused site-with-quote "is not a site" BRIMLET_ALLOWED_SITES='https://a.example.com",HKLM'
check "a failed release leaves no signing material in the temporary folder" \
    test -z "$(find "${TMPDIR:-/tmp}" -maxdepth 1 -name 'brimlet-sign.*' -newer "$pki/signer.p12" 2>/dev/null)"

# ---------------------------------------------------------- unsigned
out="$work/unsigned"
check "a release without a certificate succeeds" release_with "$out"
check "it says in one line that the bundle is unsigned" \
    test "$(grep -c . "$out.stdout")" = 1 -a "$(grep -ci unsigned "$out.stdout")" = 1
for arch in win32:x86 win64:x64; do
  check "${arch##*:}: without sites its INF is the build's, byte for byte" \
      cmp "$build_root/${arch%%:*}/package/BRIMLET.INF" "$out/$name/${arch##*:}/BRIMLET.INF"
done
check "its modules carry no signature" fails osslsigncode verify -CAfile "$pki/ca.pem" -in "$out/$name/x86/BRIMLET.OCX"
check "its checksums check out" bash -c "cd '$out/$name' && sha256sum --quiet -c SHA256SUMS"

finish
