#!/usr/bin/env bash
# Builds the Windows Installer package of one architecture with wixl, from
# install/BRIMLET.wxs and the module's registry list (printed by the native
# build's registry_wix):
#   make_package.sh REGISTRY_WIX x86|x64 VERSION MODULE OUT.msi [SITE...]
# SITEs, already checked by the caller, become ALLOWEDSITES's default. The
# ProductCode is derived from the architecture and the version: a release
# always has the same code, and every version a new one, as an upgrade needs.
set -euo pipefail
[ $# -ge 5 ] || { echo "usage: make_package.sh REGISTRY_WIX x86|x64 VERSION MODULE OUT.msi [SITE...]" >&2; exit 2; }
registry_wix=$1 arch=$2 version=$3 module=$4 out=$5
shift 5
source_root=$(cd "$(dirname "$0")/.." && pwd)
product_code=$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.NAMESPACE_URL, "urn:brimlet:msi:%s:%s" % (sys.argv[1], sys.argv[2]))).upper())' "$arch" "$version")
# wixl finds a file by a path relative to the folder it runs in.
defines=(-D "Version=$version" -D "ProductCode=$product_code" -D "ModuleSource=$(basename "$module")")
[ "$arch" = x86 ] || defines+=(-D x64=1)
[ $# -eq 0 ] || defines+=(-D "AllowedSites=$*")
work=$(mktemp -d "${TMPDIR:-/tmp}/brimlet-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$registry_wix" "$arch" >"$work/registry.wxs"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
if ! (cd "$(dirname "$module")" && wixl -a "$arch" "${defines[@]}" -o "$out" \
        "$source_root/install/BRIMLET.wxs" "$work/registry.wxs") >"$work/wixl.log" 2>&1; then
  tail -n 5 "$work/wixl.log" >&2
  exit 1
fi
