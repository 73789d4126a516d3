#!/usr/bin/env bash
# The built programs as files: what they import at load time (DLLs, never
# COM's, and no function that the oldest Windows they declare lacks), their copyright line,
# the load configuration of the shipped programs, and gatewise.exe's stripped
# state with a symbol file that belongs to it and has source lines.
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
  imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll psapi.dll rpcrt4.dll
  sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll comctl32.dll "

# The shipped programs. gatewise.exe links every library of the product, so
# no product code imports anything else (the test programs' own code may).
for image in "$program" "$build"/gatewisecmd.exe; do
  [ -f "$image" ] || { fail "$image is missing"; continue; }
  imports=$("$objdump" -p "$image" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
  [ -n "$imports" ] || fail "no imports found in $image"
  for dll in $imports; do
    case "$dll" in
      ole32.dll | oleaut32.dll) fail "$(basename "$image") imports $dll at load time: COM is bound at first use" ;;
    esac
    case "$allowed" in
      *" $dll "*) ;;
      *) fail "$(basename "$image") imports $dll at load time" ;;
    esac
  done
done

# Each Windows that a manifest may name (supportedOS), by the build number of
# its first release: Vista, 7, 8, 8.1 and 10.
declare -A declared_build=(
  [e2011457-1546-43c5-a5fe-008deee3d3f0]=6000 [35138b9a-5d96-4fbd-8e2d-a2440225f93a]=7600
  [4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38]=9200 [1f676c76-80e1-4239-95bb-83d0f6d0da78]=9600
  [8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a]=10240
)
# Newer functions that the code could reach, with the build of the first
# Windows that has them without an update. Imported at load time, one keeps a
# program from starting on an older Windows; such functions are bound late.
declare -A first_build=(
  [SetDefaultDllDirectories]=9200 [AddDllDirectory]=9200 [RemoveDllDirectory]=9200
  [GetSystemTimePreciseAsFileTime]=9200 [GetDpiForMonitor]=9600
  [GetDpiForWindow]=14393 [SetThreadDpiAwarenessContext]=14393 [GetThreadDpiAwarenessContext]=14393
  [AdjustWindowRectExForDpi]=14393 [GetSystemMetricsForDpi]=14393 [SetProcessDpiAwarenessContext]=15063
)

# Every Windows that a program's manifest declares runs it: the oldest one has
# each function that it imports at load time.
for image in "$program" "$build"/gatewisecmd.exe; do
  [ -f "$image" ] || continue
  oldest=
  for id in $(grep -a -o 'supportedOS Id="{[0-9a-f-]*}"' "$image" | sed 's/.*{\(.*\)}.*/\1/'); do
    known=${declared_build[$id]:-}
    [ -n "$known" ] || { fail "$(basename "$image") declares an unknown Windows $id"; continue; }
    if [ -z "$oldest" ] || [ "$known" -lt "$oldest" ]; then oldest=$known; fi
  done
  [ -n "$oldest" ] || { fail "$(basename "$image") declares no Windows in its manifest"; continue; }
  functions=$("$objdump" -p "$image" | awk '/DLL Name:/ { dll = 1; next } /^$/ { dll = 0 } dll && $1 ~ /^[0-9a-f]+$/ { print $3 }')
  for function in $functions; do
    needed=${first_build[$function]:-}
    if [ -n "$needed" ] && [ "$needed" -gt "$oldest" ]; then
      fail "$(basename "$image") imports $function at load time, which Windows builds before $needed lack (it declares $oldest)"
    fi
  done
done

# One copyright line, with the same years, in both programs' version information.
strings_tool=${objdump%objdump}strings
copyright=
for image in "$program" "$build"/gatewisecmd.exe; do
  [ -f "$image" ] || continue
  lines=$("$strings_tool" -el "$image" | grep '^Copyright (C) ')
  if [ "$(printf '%s' "$lines" | grep -c .)" -ne 1 ]; then
    fail "$(basename "$image") holds $(printf '%s' "$lines" | grep -c .) copyright lines"
  elif [ -z "$copyright" ]; then
    copyright=$lines
  elif [ "$lines" != "$copyright" ]; then
    fail "$(basename "$image") says '$lines', gatewise.exe '$copyright'"
  fi
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
