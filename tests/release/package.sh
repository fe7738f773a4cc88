#!/usr/bin/env bash
# The Windows Installer package of one architecture, deployed as an
# administrator does, in a new Wine prefix of its own (the scenarios' prefix
# is left alone):
#   package.sh BUILD_ROOT ARCH            ARCH: win32|i686 or win64|x86_64
# Silent install with the site lock; a new process creates the control by its
# ProgID and reads its type information; the keys the package wrote are the
# keys regsvr32 writes for the same module in the same place; silent removal
# leaves the registry and the disk as they were; a higher version replaces
# the installed one and a lower one is refused.
# Prints one line per check and "N passed, N failed" at the end.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_root=$(cd "$here/../.." && pwd)
build_root=$(cd "${1:?usage: package.sh BUILD_ROOT ARCH}" && pwd)
case "${2:?usage: package.sh BUILD_ROOT ARCH}" in
  win32|i686) arch=win32 pkg=x86 loader=/usr/lib/wine/wine ;;
  win64|x86_64) arch=win64 pkg=x64 loader=/usr/lib/wine/wine64 ;;
  *) echo "unknown architecture $2"; exit 2 ;;
esac
source "$here/../checks.sh"

work=$(mktemp -d /tmp/brimlet-package.XXXXXX)
export WINEPREFIX="$work/prefix" WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT
wine() { "$loader" "$@"; }
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
shows() { grep -aqF -- "$2" "$1" || { echo "  expected \"$2\" in:"; sed 's/^/    /' "$1"; return 1; }; }
fails_to() { ! "$@"; }
same() { diff -u "$1" "$2" >"$work/diff" || { sed 's/^/    /' "$work/diff"; return 1; }; }

version=$(sed -n 's/^[[:space:]]*FILEVERSION[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\),[[:space:]]*\([0-9]*\).*/\1.\2.\3.\4/p' \
          "$source_root/resources/brimlet.rc" | head -n 1)
IFS=. read -r major minor build revision <<<"$version"
# Windows Installer compares the first three fields of a version only.
higher="$major.$minor.$((build + 1)).$revision"

# The release's package, and one of a higher version that holds another
# module (the build's own, symbols and all), so that the file in place tells
# which package put it there.
env -u BRIMLET_SIGN_PKCS12 -u BRIMLET_SIGN_CERT -u BRIMLET_SIGN_KEY -u BRIMLET_ALLOWED_SITES \
    bash "$source_root/tools/make_release.sh" "$build_root" "$work/out" >"$work/release.log" 2>&1 ||
  { echo "FAIL making the release:"; cat "$work/release.log"; exit 1; }
package="$work/out/BRIMLET-$version/$pkg/BRIMLET-$pkg.msi"
module="$work/out/BRIMLET-$version/$pkg/BRIMLET.OCX"
newer_module="$build_root/$arch/BRIMLET.OCX"
newer="$work/BRIMLET-$pkg-$higher.msi"
bash "$source_root/tools/make_package.sh" "$build_root/native/registry_wix" "$pkg" "$higher" \
    "$newer_module" "$newer" || { echo "FAIL making the package of version $higher"; exit 1; }

"$loader" wineboot --init >/dev/null 2>&1
wineserver -w
folder="$WINEPREFIX/drive_c/Program Files/BRIMLET"

# What the registry holds under every key the module's registration touches,
# in both registry views, as reg prints it.
keys=('HKCR\CLSID\{63C86E2A-4127-4050-A0F7-CBA35E51CBA6}' 'HKCR\CLSID\{3822789E-2C74-41A1-9C87-EAFBC9383277}'
      'HKCR\BRIMLET.BrimletCtrl.1' 'HKCR\BRIMLET.BrimletPropPage.1' 'HKCR\TypeLib\{BE4F75F7-37F6-4CEB-8CED-08D530072E76}'
      'HKCR\Interface\{3460C2F5-0455-4DFA-8667-E55C7C8B9129}' 'HKCR\Interface\{4C4CA13F-C71C-4C8D-B2B7-D59CDF592EF9}')
categories=('HKCR\Component Categories\{7DD95801-9882-11CF-9FA9-00AA006C42C4}'
            'HKCR\Component Categories\{7DD95802-9882-11CF-9FA9-00AA006C42C4}')
snapshot() {  # snapshot FILE KEY...
  local file=$1 key view
  shift
  for view in 64 32; do
    for key in "$@"; do
      echo "== $key (/reg:$view)"
      query "$key" /s /reg:$view
    done
  done >"$file"
}
# What reg query prints, or nothing when the key is missing (it then says so
# on its standard output, in the prefix's language).
query() { local out; out=$(wine reg query "$@" 2>/dev/null) && printf '%s\n' "$out" | tr -d '\r' | sed '/^$/d'; }
lock() { query 'HKLM\SOFTWARE\Policies\BRIMLET' /reg:64; }
no_lock() { local found; found=$(lock); [ -z "$found" ] || { echo "$found" | sed 's/^/    /'; return 1; }; }
msiexec() { wine msiexec "$@" /qn >/dev/null 2>&1; }
products() {  # the installed products of this package's name, with their versions
  query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:64 |
    awk '/^HKEY/ { key = $0 } /DisplayName.*Brimlet ActiveX Control/ { name[key] = 1 }
         /DisplayVersion/ { version[key] = $NF } END { for (k in name) print version[k] }'
}

snapshot "$work/before" "${keys[@]}"
snapshot "$work/categories-before" "${categories[@]}"

# ---------------------------------------------------------- install
sites='https://a.example.com https://*.example.org'
check "msiexec /i BRIMLET-$pkg.msi /qn ALLOWEDSITES=... installs" \
    msiexec /i "$(windows_path "$package")" "ALLOWEDSITES=$sites" /l*v "$(windows_path "$work/install.log")"
check "the module is in C:\\Program Files\\BRIMLET, as the bundle ships it" cmp "$module" "$folder/BRIMLET.OCX"
wine "$(windows_path "$build_root/$arch/scenarios/probe_control.exe")" BRIMLET.BrimletCtrl.1 2>&1 | tr -d '\r' >"$work/probe"
check "a new process creates the control by its ProgID" shows "$work/probe" "created=yes"
check "it reaches its IDispatch and reads its type information" shows "$work/probe" "typeinfo=_DBrimlet"
snapshot "$work/installed" "${keys[@]}" "${categories[@]}"
check "the control's class is served from the installed module" \
    shows "$work/installed" 'REG_SZ    C:\Program Files\BRIMLET\BRIMLET.OCX'
lock >"$work/lock"
check "ALLOWEDSITES is written as the site lock (REG_MULTI_SZ)" shows "$work/lock" "AllowedSites    REG_MULTI_SZ    $sites"

# ---------------------------------------------------------- removal
check "msiexec /x BRIMLET-$pkg.msi /qn removes it" msiexec /x "$(windows_path "$package")"
snapshot "$work/removed" "${keys[@]}"
check "removal leaves the registry under the control's keys as it was before" same "$work/before" "$work/removed"
check "removal leaves no install folder" test ! -e "$folder"
check "removal takes the site lock away" no_lock
snapshot "$work/categories-after" "${categories[@]}"
check "the two categories' names stay, as the module's own unregistration leaves them" \
    shows "$work/categories-after" "Controls that are safely scriptable"

# ---------------------------------------------------------- regsvr32
# The same module in the same place, registered by itself.
mkdir -p "$folder" && cp "$module" "$folder/BRIMLET.OCX"
check "regsvr32 registers the same module in the same folder" wine regsvr32 /s 'C:\Program Files\BRIMLET\BRIMLET.OCX'
snapshot "$work/regsvr32" "${keys[@]}" "${categories[@]}"
# A Windows Installer folder property ends in a backslash; RegisterTypeLib
# writes the library's help folder without one.
sed 's/\\BRIMLET\\$/\\BRIMLET/' "$work/installed" >"$work/installed.cmp"
check "the package wrote exactly the keys and values regsvr32 writes" same "$work/regsvr32" "$work/installed.cmp"
wine regsvr32 /u /s 'C:\Program Files\BRIMLET\BRIMLET.OCX'
rm -rf "$folder"

# ---------------------------------------------------------- upgrade
check "version $version installs" msiexec /i "$(windows_path "$package")"
check "version $higher installs over it" msiexec /i "$(windows_path "$newer")"
check "one product is left, of version $higher" test "$(products)" = "$higher"
check "the module in place is version $higher's" cmp "$newer_module" "$folder/BRIMLET.OCX"
check "version $version over $higher is refused" fails_to msiexec /i "$(windows_path "$package")" /l*v "$(windows_path "$work/downgrade.log")"
tr -d '\0\r' <"$work/downgrade.log" >"$work/downgrade.txt"
check "because the newer version is found" shows "$work/downgrade.txt" "WIX_DOWNGRADE_DETECTED = {"
wine cscript.exe //nologo "$(windows_path "$here/package_message.js")" "$(windows_path "$package")" 2>&1 |
  tr -d '\r' >"$work/message"
check "with the package's message" \
    shows "$work/message" "A newer version of [ProductName] is already installed; remove it first to install this one."
check "and version $higher stays in place" bash -c 'test "$1" = "$2" && cmp -s "$3" "$4"' _ \
    "$(products)" "$higher" "$newer_module" "$folder/BRIMLET.OCX"
check "msiexec /x removes version $higher" msiexec /x "$(windows_path "$newer")"
check "and leaves no install folder" test ! -e "$folder"
snapshot "$work/removed-again" "${keys[@]}"
check "and no key of it" same "$work/before" "$work/removed-again"

finish
