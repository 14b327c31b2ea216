#!/usr/bin/env bash
# The Windows deliverables as a user's machine sees them, read from their PE
# headers: what each exports, that each imports nothing but the system's DLLs
# (and TAVRO.DLL for tavroconfig.exe), their subsystems, and the zip's
# contents.
# Usage: deliverables-test.sh OBJDUMP tonrig.exe TAVRO.DLL tavroconfig.exe
#                             tavro_virtualboard.dll package.zip tavroplay.exe
set -euo pipefail
objdump=$1 tonrig=$2 tavro=$3 tavroconfig=$4 virtualboard=$5 zip=$6 tavroplay=$7
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

exports() {
    "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' '
}
imports() { "$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort; }
subsystem() { "$objdump" -p "$1" | sed -n 's/^Subsystem\s*[0-9a-f]*\s*//p'; }

[[ "$(exports "$tavro")" == "getSoundInterfaceManager " ]] ||
    fail "TAVRO.DLL exports: $(exports "$tavro")"
[[ "$(exports "$virtualboard")" == "FT_Close FT_GetComPortNumber FT_ListDevices FT_Open FT_SetBaudRate FT_SetBitMode FT_Write " ]] ||
    fail "tavro_virtualboard.dll exports: $(exports "$virtualboard")"

system='^(KERNEL32|USER32|GDI32|ADVAPI32|SHLWAPI|COMCTL32|WINMM|AVRT|MSVCRT)\.DLL$'
for module in "$tonrig" "$tavroplay" "$tavro" "$virtualboard" "$tavroconfig"; do
    while read -r dll; do
        [[ "$dll" =~ $system ]] && continue
        [[ "$module" == "$tavroconfig" && "$dll" == TAVRO.DLL ]] && continue
        fail "$(basename "$module") needs $dll"
    done < <(imports "$module")
done
imports "$tavroconfig" | grep -qx TAVRO.DLL || fail "tavroconfig.exe does not import TAVRO.DLL"

[[ "$(subsystem "$tonrig")" == "(Windows CUI)" ]] || fail "tonrig.exe subsystem $(subsystem "$tonrig")"
[[ "$(subsystem "$tavroplay")" == "(Windows CUI)" ]] ||
    fail "tavroplay.exe subsystem $(subsystem "$tavroplay")"
[[ "$(subsystem "$tavroconfig")" == "(Windows GUI)" ]] ||
    fail "tavroconfig.exe subsystem $(subsystem "$tavroconfig")"

listing=$(cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | sort | tr '\n' ' ')
expected="README.TXT TAVRO.DLL TAVRO.INI VELKAN.BIN DEMO-SONG.VKN TAVROCONFIG.EXE TAVRO_VIRTUALBOARD.DLL TONRIG.EXE TAVROPLAY.EXE"
for name in $expected; do
    tr 'a-z' 'A-Z' <<<"$listing" | grep -qw -- "$name" || fail "the zip lacks $name (has: $listing)"
done
[[ $(wc -w <<<"$listing") -eq 9 ]] || fail "the zip holds more than the package: $listing"

((failures == 0)) && echo "deliverables as expected"
exit $((failures > 0))
