#!/usr/bin/env bash
# The built programs as files: what they import at load time, the load
# configuration of the shipped programs, and gatewise.exe's stripped state
# with a symbol file that belongs to it and has source lines.
#
#   program_image.sh OBJDUMP WINDOWS_BUILD_DIR
set -uo pipefail
objdump=$1
build=$2
program=$build/gatewise.exe
failed=0
fail() {
  echo "image: $*" >&2
  failed=1
}

# Windows' known DLLs, which it loads from the system folder whatever the
# search order, and comctl32, which the manifest binds to its side-by-side
# version 6. Everything else must be bound late, from the system folder.
allowed=" advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll gdi32.dll gdiplus.dll imagehlp.dll
  imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll oleaut32.dll psapi.dll rpcrt4.dll
  sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll comctl32.dll "

# The shipped programs. gatewise.exe links every library of the product, so
# no product code imports anything else (the test programs' own code may).
for image in "$program" "$build"/gatewisecmd.exe; do
  [ -f "$image" ] || { fail "$image is missing"; continue; }
  imports=$("$objdump" -p "$image" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
  [ -n "$imports" ] || fail "no imports found in $image"
  for dll in $imports; do
    case "$allowed" in
      *" $dll "*) ;;
      *) fail "$(basename "$image") imports $dll at load time" ;;
    esac
  done
done

# The load configuration of the programs that run elevated: the entry filled,
# and DependentLoadFlags set to LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800).
for image in "$program" "$build"/gatewisecmd.exe; do
  entry=$("$objdump" -p "$image" | awk '/Load Configuration Directory/ { print $3, $4 }')
  case "$entry" in
    "" | "0000000000000000 00000000") fail "the load configuration entry of $(basename "$image") is empty" ;;
  esac
  "$build/host/gatewise_loadconfig" --check "$image" || fail "the load configuration of $(basename "$image") is wrong"
done

# Stripped: no DWARF is shipped, and the symbol file beside it is its own.
if "$objdump" -h "$program" | grep -q '\.debug_'; then
  fail "gatewise.exe still carries DWARF sections"
fi
"$build/host/gatewise_symtool" --check "$objdump" "$program" "$build/gatewise.sym" Gatewise.cpp ||
  fail "gatewise.sym does not fit gatewise.exe"

[ $failed -eq 0 ] && echo "image: passed"
exit $failed
