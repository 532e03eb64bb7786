#!/usr/bin/env bash
# Prepares the private Wine prefix of the image differential test: a machine with something for
# every kind of rule to find. The component is registered, two products of one upgrade family
# are installed (one of them with its component's key path file removed), versioned files lie
# at fixed paths and in the folders that folder numbers and environment variables name,
# shortcuts of both kinds point at them, and the registry holds variables and the network
# switch.
#
#   prepare-prefix.sh [--wow64] WINE TEMPLATE PREFIX PROVIDER_DIR FILES_DIR FIXTURE MSI...
#
# PROVIDER_DIR holds KpxTarnRuleProvider.dll and InventoryRuleAgent.tlb, FILES_DIR the
# rule-file-*.dll of tests/windows, FIXTURE is image_fixture.exe; the MSI packages are those of
# the upgrade family. The installer codes come from the environment: TARN_MSI_OLD,
# TARN_MSI_OLD_COMPONENT, TARN_MSI_NEW, TARN_MSI_NEW_COMPONENT, TARN_MSI_NEVER,
# TARN_MSI_NEVER_COMPONENT.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
wow64=()
if [[ ${1:-} == --wow64 ]]; then
    wow64=(--wow64)
    shift
fi
(($# >= 7)) || {
    echo "usage: prepare-prefix.sh [--wow64] WINE TEMPLATE PREFIX PROVIDER_DIR FILES_DIR" \
        "FIXTURE MSI..." >&2
    exit 2
}
readonly WINE=$1 TEMPLATE=$2 PROVIDER_DIR=$4 FILES_DIR=$5 FIXTURE=$6
PREFIX=$(realpath -m "$3")
readonly PREFIX
shift 6
export WINEPREFIX=$PREFIX WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

windows_path() { "$WINE" winepath -w "$1" 2>/dev/null; }

bash "$HERE/../../scripts/wine-prefix.sh" "${wow64[@]}" create "$TEMPLATE" "$PREFIX"

# The component, registered as the agent's installation and a user do it.
"$WINE" "$PROVIDER_DIR/tarn-regtlib.exe" "$(windows_path "$PROVIDER_DIR/InventoryRuleAgent.tlb")"
"$WINE" regsvr32 /s "$(windows_path "$PROVIDER_DIR/KpxTarnRuleProvider.dll")"
bash "$HERE/../windows/msi/install-products.sh" "$WINE" "$@"

readonly C=$PREFIX/drive_c
user=$(find "$C/users" -mindepth 1 -maxdepth 1 -type d ! -name Public -printf '%f\n')
[[ $user != *$'\n'* && -n $user ]] || {
    echo "prepare-prefix: expected one user profile in $C/users, found: $user" >&2
    exit 1
}
readonly PROFILE=$C/users/$user

# place VERSION DESTINATION...: copies of rule-file-VERSION.dll.
place() {
    local built=$FILES_DIR/rule-file-$1.dll destination
    shift
    for destination in "$@"; do
        mkdir -p "$(dirname "$destination")"
        cp "$built" "$destination"
    done
}
readonly T=$C/TarnImage
place 1_0_0_0 "$T/v1.dll" "$C/windows/syswow64/tarn-sys.dll"
place 2_0_0_0 "$T/v2.dll" "$T/apps/tool_a.exe" "$T/apps/tool_b.exe" "$T/gone.dll" \
    "$C/ProgramData/TarnImage/ca.dll" "$C/ProgramData/TarnImage/$user.dll" \
    "$C/windows/system32/tarn-sys.dll" "$C/windows/system32/tarn-only64.dll" \
    "$C/Program Files/Common Files/TarnImage/cf.dll" "$T/user/u.dll"
place 2_5_3_1 "$T/v253.dll" "$C/windows/tarn-win.dll" "$PROFILE/AppData/Roaming/TarnImage/user.dll"
place unversioned "$T/plain.dll"
place notranslation "$T/notrans.dll"
mkdir -p "$T/apps/toolbox" "$T/vendor/VendorOne"

readonly L='C:\TarnImage\links'
readonly PROGRAMS='Microsoft\Windows\Start Menu\Programs\Tarn Image\Tool.lnk'
"$WINE" "$FIXTURE" \
    shell "$L\\file.lnk" 'C:\TarnImage\v1.dll' \
    shell "$L\\folder.lnk" 'C:\TarnImage\apps' \
    shell "$L\\gone.lnk" 'C:\TarnImage\gone.dll' \
    shell "$L\\only64.lnk" 'C:\windows\system32\tarn-only64.dll' \
    shell "C:\\ProgramData\\$PROGRAMS" 'C:\TarnImage\apps\tool_a.exe' \
    shell "C:\\users\\$user\\AppData\\Roaming\\$PROGRAMS" 'C:\TarnImage\v2.dll' \
    advertised "$L\\installed.lnk" "$TARN_MSI_OLD" "$TARN_MSI_OLD_COMPONENT" \
    advertised "$L\\broken.lnk" "$TARN_MSI_NEW" "$TARN_MSI_NEW_COMPONENT" \
    advertised "$L\\never.lnk" "$TARN_MSI_NEVER" "$TARN_MSI_NEVER_COMPONENT" \
    advertised "$L\\foreign.lnk" "$TARN_MSI_OLD" "$TARN_MSI_NEVER_COMPONENT"
rm "$T/gone.dll"
# The newer product stays installed, but its component's key path is gone.
shopt -s nullglob
readme=("$C"/Program\ Files*/TarnTestPackages/TarnFamilyNew/readme.txt)
((${#readme[@]} == 1)) || {
    echo "prepare-prefix: the key path of TarnFamilyNew is not where it was expected" >&2
    exit 1
}
rm "${readme[0]}"

# Variables of the machine (one expanding another) and of the user; the network switch in the
# registry view of this tree's component.
readonly ENVIRONMENT='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
"$WINE" reg add "$ENVIRONMENT" /v TARN_IMAGE_HOME /t REG_SZ /d 'C:\TarnImage' /f
"$WINE" reg add "$ENVIRONMENT" /v TARN_IMAGE_TOOLS /t REG_EXPAND_SZ /d '%TARN_IMAGE_HOME%\apps' /f
"$WINE" reg add 'HKCU\Environment' /v TARN_IMAGE_USER /t REG_SZ /d 'C:\TarnImage\user' /f
view=/reg:64
((${#wow64[@]} == 0)) || view=/reg:32
"$WINE" reg add 'HKLM\Software\Orvanta\Orvanta Agent\NO_VERSION_OVER_NETWORK' "$view" /f
echo "prepared $PREFIX for user $user"
