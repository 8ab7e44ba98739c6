#!/usr/bin/env bash
# tallowmere.exe stands alone: it imports only system DLLs, and carries its version record,
# manifest and icon.
source "$(dirname "$0")/lib.sh"

objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
imports=$("$objdump" -p "$TALLOWMERE_EXE" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || e2e_fail "no imports found by $objdump"
e2e_log "imports: $(echo $imports)"
for dll in $imports; do
  case "$dll" in
    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | shell32.dll | shlwapi.dll | \
    ole32.dll | oleaut32.dll | advapi32.dll | uxtheme.dll | version.dll | msvcrt.dll | ucrtbase.dll | \
    api-ms-win-*.dll | bcrypt.dll | ntdll.dll | imm32.dll | winmm.dll) ;;
    *) e2e_fail "imports a DLL that is not part of Windows: $dll" ;;
  esac
done

e2e_driver version-info --file="$(e2e_winpath "$TALLOWMERE_EXE")" || e2e_fail "no version record"
e2e_expect "CompanyName=Kestrane" "ProductName=Kestrane - Tallowmere" "FileVersion=1.00" "ProductVersion=1.00" \
  "FileDescription=Tallowmere" "OriginalFilename=tallowmere.exe" \
  "fixed-file-version=1.0.0.0" "fixed-product-version=1.0.0.0"

e2e_driver resources --file="$(e2e_winpath "$TALLOWMERE_EXE")" || e2e_fail "cannot read the resources"
manifest=$(e2e_value manifest)
for needed in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' 'level="asInvoker"' \
  'PerMonitorV2' 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"'; do
  [[ $manifest == *"$needed"* ]] || e2e_fail "the manifest lacks $needed"
done
[[ $manifest != *activeCodePage* ]] || e2e_fail "the manifest changes the ANSI code page"
e2e_expect "icon-group=101:16,32,48"
e2e_log "PASS"
