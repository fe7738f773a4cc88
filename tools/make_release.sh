#!/usr/bin/env bash
# Packs the release bundle from finished builds, signing it when a certificate
# is given.
#   make_release.sh BUILD_ROOT OUT_DIR
# BUILD_ROOT holds native/, win32/ and win64/ (./dev's build folder). Writes
# OUT_DIR/BRIMLET-<version>/ and OUT_DIR/BRIMLET-<version>.tar.gz (with its
# .sha256 beside it), and the modules' symbols beside them
# (BRIMLET-<version>-x86.debug, -x64.debug), or nothing at all when anything
# fails.
#
# Signing (Authenticode, osslsigncode), from the environment:
#   BRIMLET_SIGN_PKCS12 + BRIMLET_SIGN_PASSWORD   a PKCS#12 file and its password
#   BRIMLET_SIGN_CERT + BRIMLET_SIGN_KEY          a PEM certificate (chain) and key;
#                                                 BRIMLET_SIGN_PASSWORD if the key is encrypted
#   BRIMLET_SIGN_CA          PEM file of the CA the signatures are verified against
#                            (default: the certificates given with the signer)
#   BRIMLET_SIGN_TIMESTAMP   optional RFC 3161 timestamp server URL
# Without a certificate the bundle is made unsigned and one line says so.
#
# The site lock, from the environment:
#   BRIMLET_ALLOWED_SITES    sites separated by spaces (https://a.example.com
#                            https://*.example.org http://intranet:8080): both
#                            INFs then write them as the lock on install and
#                            remove it on uninstall, and both Windows Installer
#                            packages write them unless ALLOWEDSITES is given.
#                            Unset or empty: no lock.
set -euo pipefail

fail() { echo "release: $*" >&2; exit 1; }

[ $# -eq 2 ] || { echo "usage: make_release.sh BUILD_ROOT OUT_DIR" >&2; exit 2; }
build_root=$(cd "$1" 2>/dev/null && pwd) || fail "no build folder $1"
out_dir=$2
source_root=$(cd "$(dirname "$0")/.." && pwd)

# The version has one home: the module's VERSIONINFO.
version=$(sed -n 's/^[[:space:]]*FILEVERSION[[:space:]]*\([0-9]*\)[[:space:]]*,[[:space:]]*\([0-9]*\)[[:space:]]*,[[:space:]]*\([0-9]*\)[[:space:]]*,[[:space:]]*\([0-9]*\).*/\1.\2.\3.\4/p' \
          "$source_root/resources/brimlet.rc" | head -n 1)
[ -n "$version" ] || fail "no FILEVERSION in resources/brimlet.rc"
name="BRIMLET-$version"

# ---------------------------------------------------------------- inputs
# Every input is checked before any work, so a bad one leaves nothing behind.
for arch in win32:x86 win64:x64; do
  dir=$build_root/${arch%%:*}
  for file in "$dir/BRIMLET.OCX" "$dir/package/BRIMLET.INF"; do
    [ -f "$file" ] || fail "$file is missing (build both architectures first: ./dev release)"
  done
  # A build configured from an older version resource would pack a stale INF.
  grep -q "^FileVersion=${version//./,}"$'\r'"\?\$" "$dir/package/BRIMLET.INF" ||
    fail "$dir/package/BRIMLET.INF does not carry version ${version//./,} (rebuild: ./dev release)"
done
command -v gcab >/dev/null || fail "gcab is not installed"
for tool in i686-w64-mingw32-objcopy x86_64-w64-mingw32-objcopy wixl python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done
# The packages' registry rows come from the module's registry list, printed
# by a program of the native build.
registry_wix=$build_root/native/registry_wix
[ -x "$registry_wix" ] || fail "$registry_wix is missing (build the native tree first: ./dev release)"

# A site is a scheme, a host or "*." and a domain of two labels or more, and
# an optional port; nothing else, so no entry can carry a quote, a %, a comma
# or a line break into the INF. Letters are written in lower case, as a
# page's origin is.
label='[a-z0-9]([a-z0-9-]*[a-z0-9])?'
site_form="^https?://(\\*\\.$label\\.$label(\\.$label)*|$label(\\.$label)*|\\[[0-9a-f:.]+\\])(:[1-9][0-9]{0,4})?\$"
sites=()
read -r -d '' -a given_sites <<<"${BRIMLET_ALLOWED_SITES:-}" || true
for site in ${given_sites[@]+"${given_sites[@]}"}; do
  lower=${site,,} port=
  [[ $lower =~ :([0-9]+)$ ]] && port=${BASH_REMATCH[1]}
  [[ $lower =~ $site_form ]] && [ "${port:-1}" -le 65535 ] ||
    fail "BRIMLET_ALLOWED_SITES: '$site' is not a site: http:// or https://, then a host or *. and a domain, then an optional port (1 to 65535), and nothing after"
  # The default port is left out, as in a page's origin.
  [[ $lower == https://*:443 || $lower == http://*:80 ]] && lower=${lower%:*}
  sites+=("$lower")
done
lock_value='HKLM,"SOFTWARE\Policies\BRIMLET","AllowedSites"'
lock_line=$lock_value,0x10000
for site in ${sites[@]+"${sites[@]}"}; do lock_line+=",\"$site\""; done
# Setup reads an INF line of up to 4,096 characters.
[ ${#lock_line} -lt 4096 ] || fail "BRIMLET_ALLOWED_SITES: more sites than one INF line holds"

work="" secrets=""
cleanup() { rm -rf ${work:+"$work"} ${secrets:+"$secrets"}; }
trap cleanup EXIT
mkdir -p "$out_dir" || fail "cannot create $out_dir"
out_dir=$(cd "$out_dir" && pwd)
# Built beside its final place (same file system) and moved there at the end.
work=$(mktemp -d "$out_dir/.$name.XXXXXX")
# The key and password sit apart from the bundle, readable by this user only.
secrets=$(mktemp -d "${TMPDIR:-/tmp}/brimlet-sign.XXXXXX")

readable() {  # readable WHAT FILE
  [ -e "$2" ] || fail "$1 $2 does not exist"
  [ -f "$2" ] && [ -r "$2" ] || fail "$1 $2 cannot be read"
}

sign_args=()
signing=no
if [ -n "${BRIMLET_SIGN_PKCS12:-}" ] || [ -n "${BRIMLET_SIGN_CERT:-}" ] || [ -n "${BRIMLET_SIGN_KEY:-}" ]; then
  signing=yes
  # The password goes to the tools through a private file, never the command line.
  printf '%s' "${BRIMLET_SIGN_PASSWORD:-}" > "$secrets/password"
  pass_in=(-passin pass:)
  [ -z "${BRIMLET_SIGN_PASSWORD:-}" ] || pass_in=(-passin "file:$secrets/password")
  if [ -n "${BRIMLET_SIGN_PKCS12:-}" ]; then
    [ -z "${BRIMLET_SIGN_CERT:-}${BRIMLET_SIGN_KEY:-}" ] ||
      fail "give either BRIMLET_SIGN_PKCS12 or BRIMLET_SIGN_CERT with BRIMLET_SIGN_KEY, not both"
    readable "the PKCS#12 file" "$BRIMLET_SIGN_PKCS12"
    openssl pkcs12 -in "$BRIMLET_SIGN_PKCS12" "${pass_in[@]}" -nokeys \
        -out "$secrets/chain.pem" 2>"$secrets/err" ||
      fail "cannot open the PKCS#12 file $BRIMLET_SIGN_PKCS12: wrong password (BRIMLET_SIGN_PASSWORD) or not a PKCS#12 file"
    openssl pkcs12 -in "$BRIMLET_SIGN_PKCS12" "${pass_in[@]}" -nocerts -nodes \
        -out "$secrets/key.pem" 2>"$secrets/err" ||
      fail "the PKCS#12 file $BRIMLET_SIGN_PKCS12 holds no usable private key"
    openssl pkcs12 -in "$BRIMLET_SIGN_PKCS12" "${pass_in[@]}" -nokeys -clcerts \
        -out "$secrets/signer.pem" 2>"$secrets/err" ||
      fail "the PKCS#12 file $BRIMLET_SIGN_PKCS12 holds no certificate"
    sign_args=(-pkcs12 "$BRIMLET_SIGN_PKCS12" -readpass "$secrets/password")
    # osslsigncode reads an empty password file as no password at all.
    [ -n "${BRIMLET_SIGN_PASSWORD:-}" ] || sign_args=(-pkcs12 "$BRIMLET_SIGN_PKCS12" -pass "")
  else
    [ -n "${BRIMLET_SIGN_CERT:-}" ] || fail "BRIMLET_SIGN_KEY is given without BRIMLET_SIGN_CERT"
    [ -n "${BRIMLET_SIGN_KEY:-}" ] || fail "BRIMLET_SIGN_CERT is given without BRIMLET_SIGN_KEY"
    readable "the certificate" "$BRIMLET_SIGN_CERT"
    readable "the key" "$BRIMLET_SIGN_KEY"
    openssl x509 -in "$BRIMLET_SIGN_CERT" -out "$secrets/signer.pem" 2>"$secrets/err" ||
      fail "the certificate $BRIMLET_SIGN_CERT is not a PEM certificate"
    cp "$BRIMLET_SIGN_CERT" "$secrets/chain.pem"
    openssl pkey -in "$BRIMLET_SIGN_KEY" "${pass_in[@]}" \
        -out "$secrets/key.pem" 2>"$secrets/err" ||
      fail "cannot read the key $BRIMLET_SIGN_KEY: wrong password (BRIMLET_SIGN_PASSWORD) or not a PEM key"
    sign_args=(-certs "$BRIMLET_SIGN_CERT" -key "$BRIMLET_SIGN_KEY")
    [ -z "${BRIMLET_SIGN_PASSWORD:-}" ] || sign_args+=(-readpass "$secrets/password")
  fi
  given=${BRIMLET_SIGN_PKCS12:-$BRIMLET_SIGN_CERT}
  [ "$(openssl x509 -in "$secrets/signer.pem" -noout -pubkey)" = "$(openssl pkey -in "$secrets/key.pem" -pubout)" ] ||
    fail "the key does not belong to the certificate $given"
  openssl x509 -in "$secrets/signer.pem" -noout -ext extendedKeyUsage 2>/dev/null | grep -q 'Code Signing' ||
    fail "the certificate $given is not for code signing (no codeSigning extended key usage)"
  openssl x509 -in "$secrets/signer.pem" -noout -checkend 0 >/dev/null ||
    fail "the certificate $given has expired"
  ca=${BRIMLET_SIGN_CA:-$secrets/chain.pem}
  [ -z "${BRIMLET_SIGN_CA:-}" ] || readable "the CA file" "$BRIMLET_SIGN_CA"
  command -v osslsigncode >/dev/null || fail "osslsigncode is not installed"
  [ -z "${BRIMLET_SIGN_TIMESTAMP:-}" ] || sign_args+=(-ts "$BRIMLET_SIGN_TIMESTAMP")
fi

# ---------------------------------------------------------------- signing
sign() {  # sign FILE: signs in place and proves the signature
  local file=$1
  osslsigncode sign "${sign_args[@]}" -h sha256 -n "Brimlet ActiveX Control" \
      -in "$file" -out "$file.signed" >"$secrets/err" 2>&1 ||
    fail "signing ${file#$work/} failed: $(tail -n 3 "$secrets/err")"
  mv "$file.signed" "$file"
  osslsigncode verify -CAfile "$ca" -in "$file" >"$secrets/err" 2>&1 ||
    fail "the signature of ${file#$work/} does not verify against $ca (BRIMLET_SIGN_CA names the issuing CA): $(grep -i -m 3 'fail\|error' "$secrets/err")"
}

# ---------------------------------------------------------------- site lock
# Both modules read the lock from HKLM\SOFTWARE\Policies\BRIMLET through the
# 64-bit registry view. The x64 INF is installed by a 64-bit process and
# writes that view. The x86 INF is installed by a 32-bit process, which on
# 64-bit Windows has its HKLM\SOFTWARE redirected to Wow6432Node; but
# HKLM\SOFTWARE\Policies is one of the keys WOW64 shares between the views
# (on every 64-bit Windows, XP x64 onwards), so its write lands in the very
# key the 64-bit view reads. Each site is one string of the REG_MULTI_SZ
# value (AddReg flag 0x10000); uninstalling deletes the value.
lock_inf() {  # lock_inf INF: writes the lock into this copy of the INF (CR LF lines)
  # Through the environment: awk -v would read the backslashes as escapes.
  add=$lock_line remove=$lock_value awk '
    { print }
    /^\[DefaultInstall\]\r?$/ { printf "AddReg=Brimlet.SiteLock\r\n"; ++found }
    /^\[DefaultUninstall\]\r?$/ { printf "DelReg=Brimlet.SiteLock.Remove\r\n"; ++found }
    END {
      printf "\r\n; The site lock: only pages of these sites may use the control.\r\n"
      printf "[Brimlet.SiteLock]\r\n%s\r\n\r\n[Brimlet.SiteLock.Remove]\r\n%s\r\n", ENVIRON["add"], ENVIRON["remove"]
      exit found != 2
    }' "$1" >"$1.locked" || fail "${1#$work/} has no [DefaultInstall] or [DefaultUninstall] to add the lock to"
  mv "$1.locked" "$1"
}

# ---------------------------------------------------------------- symbols
# The modules that ship (alone, in the CABs and in the packages) carry no
# debug information: each one's symbols go to a file of their own beside the
# bundle, named for the version and architecture, which the shipped module
# names in its .gnu_debuglink. A crash address in a shipped module is
# resolved against that file (README, "Symbols").
strip_module() {  # strip_module x86|x64 BUILT SHIPPED
  local tools symbols="$work/$name-$1.debug"
  case $1 in x86) tools=i686-w64-mingw32 ;; x64) tools=x86_64-w64-mingw32 ;; esac
  "$tools-objcopy" --only-keep-debug "$2" "$symbols" ||
    fail "cannot copy the symbols of $2"
  (cd "$work" && "$tools-objcopy" --strip-all --add-gnu-debuglink="$name-$1.debug" "$2" "$3") ||
    fail "cannot strip $2"
}

# ---------------------------------------------------------------- packages
# The Windows Installer package of one architecture (tools/make_package.sh),
# holding the module as shipped.
make_package() {  # make_package x86|x64
  bash "$source_root/tools/make_package.sh" "$registry_wix" "$1" "$version" "$bundle/$1/BRIMLET.OCX" \
      "$bundle/$1/BRIMLET-$1.msi" ${sites[@]+"${sites[@]}"} 2>"$work/package.err" ||
    fail "building BRIMLET-$1.msi failed: $(cat "$work/package.err")"
  rm -f "$work/package.err"
  [ $signing = no ] || sign "$bundle/$1/BRIMLET-$1.msi"
}

# ---------------------------------------------------------------- bundle
bundle="$work/$name"
mkdir -p "$bundle"
for arch in win32:x86 win64:x64; do
  dir=$build_root/${arch%%:*} cab_arch=${arch##*:}
  mkdir "$bundle/$cab_arch"
  strip_module "$cab_arch" "$dir/BRIMLET.OCX" "$bundle/$cab_arch/BRIMLET.OCX"
  cp "$dir/package/BRIMLET.INF" "$bundle/$cab_arch/"
  [ ${#sites[@]} -eq 0 ] || lock_inf "$bundle/$cab_arch/BRIMLET.INF"
  [ $signing = no ] || sign "$bundle/$cab_arch/BRIMLET.OCX"
  # The CAB is made here, from the module as shipped (signed when signing).
  (cd "$bundle/$cab_arch" && gcab -c -z -n "BRIMLET-$cab_arch.cab" BRIMLET.INF BRIMLET.OCX) ||
    fail "packing BRIMLET-$cab_arch.cab failed"
  [ $signing = no ] || sign "$bundle/$cab_arch/BRIMLET-$cab_arch.cab"
  make_package "$cab_arch"
done
mkdir "$bundle/examples"
(cd "$source_root/examples" && tar --exclude=node_modules -cf - .) | (cd "$bundle/examples" && tar -xf -)
cp -R "$source_root/docs" "$bundle/docs"
cp "$source_root/README.md" "$bundle/"
(cd "$bundle" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
   xargs -d '\n' sha256sum > SHA256SUMS)
(cd "$work" && tar --sort=name --owner=0 --group=0 --numeric-owner -czf "$name.tar.gz" "$name")
(cd "$work" && sha256sum "$name.tar.gz" > "$name.tar.gz.sha256")

# ---------------------------------------------------------------- in place
rm -rf "${out_dir:?}/$name" "$out_dir/$name.tar.gz" "$out_dir/$name.tar.gz.sha256" \
       "$out_dir/$name-x86.debug" "$out_dir/$name-x64.debug"
mv "$bundle" "$out_dir/$name"
mv "$work/$name.tar.gz" "$work/$name.tar.gz.sha256" "$work/$name-x86.debug" "$work/$name-x64.debug" "$out_dir/"
if [ $signing = yes ]; then
  echo "release: $out_dir/$name.tar.gz (signed by $(openssl x509 -in "$secrets/signer.pem" -noout -subject -nameopt oneline | sed 's/^subject= *//'))"
else
  echo "release: $out_dir/$name.tar.gz is UNSIGNED (no certificate given: set BRIMLET_SIGN_PKCS12 or BRIMLET_SIGN_CERT and BRIMLET_SIGN_KEY)"
fi
