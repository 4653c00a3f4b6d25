#!/bin/sh
# Writes the WiX source of Zanthel's Windows Installer package for one
# architecture to standard output. The registry rows are those regsvr32
# writes (component/registration.cpp and the type libraries' registration),
# read from the assembly manifest the build generates from the IDL files, so
# the package, the manifest and the DLL share one source of GUIDs and
# versions; tests/msi compares the installed rows with regsvr32's.
# wixl takes Zanthel.dll from the folder it runs in.
# The per-user package needs no administrator: it installs into the user's
# LocalAppData\Programs\Zanthel and writes the rows regsvr32 /n /i:user writes,
# under HKCU. Its UpgradeCode is its own, so the two scopes never replace
# each other.
# Usage: wxs.sh <Zanthel.Server.manifest> <version> x86|x64 [machine|user]
set -eu
usage="usage: wxs.sh <Zanthel.Server.manifest> <version> x86|x64 [machine|user]"
manifest=${1:?$usage} version=${2:?$usage} arch=${3:?$usage} scope=${4:-machine}
here=$(cd "$(dirname "$0")" && pwd)
idls="$here/../component/Zanthel.idl $here/../component/ZanthelNotify.idl"
# Each architecture's component has its own GUID: both may be installed at once.
case $arch in
    x86) guid=CF3BC5ED-F6F8-449B-A5BE-38AA3B61E4F8 folder=ProgramFilesFolder win64='' platform=win32 ;;
    x64) guid=3A119746-9286-4845-A58D-BECF4BC04176 folder=ProgramFiles64Folder win64=' Win64="yes"' platform=win64 ;;
    *) echo "$usage" >&2; exit 2 ;;
esac
case $scope in
    # An UpgradeCode for each scope and architecture, never changed: a package
    # replaces only its own line's older versions, so the 32-bit and the
    # 64-bit DLL stay installed side by side.
    machine) root=HKLM installScope=perMachine
        case $arch in
            x86) upgrade=456B3FE5-1833-4F21-88D6-5B38066FDB9B ;;
            *) upgrade=28DEE788-AAA0-45D3-B422-887821A8D86E ;;
        esac ;;
    user) root=HKCU installScope=perUser folder=LocalAppDataFolder
        case $arch in
            x86) guid=25920F8C-94A4-4687-B65F-768710779893 upgrade=72CEEB25-7DEE-47D5-B41F-0DD4E4E3D2E1 ;;
            *) guid=2794380A-F567-4702-88F6-7F1E18CCBBDC upgrade=65245461-4506-43EA-AC20-7357C78639FF ;;
        esac ;;
    *) echo "$usage" >&2; exit 2 ;;
esac

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
# The library's help string, which registering a type library writes as its version key's value.
helpstring() {
    # shellcheck disable=SC2086 # the list is word-split on purpose
    cat $idls | tr '\n' ' ' | sed -n "s/.*helpstring(\"\([^\"]*\)\")[^]]*\][ ]*library $1[^A-Za-z0-9_].*/\1/p"
}
# shellcheck disable=SC2086
libraries=$(cat $idls | sed -n 's/^library \([A-Za-z0-9_]*\).*/\1/p')
# Registering a type library gives a dispinterface the dispatch marshaler
# (PSDispatch), every other automation interface the type library marshaler.
# shellcheck disable=SC2086
dispinterfaces=$(cat $idls | sed -n 's/^ *dispinterface \([A-Za-z0-9_]*\)$/\1/p' | tr '\n' ' ')
library_names=$(for name in $libraries; do printf '%s|%s\n' "$name" "$(helpstring "$name")"; done)

awk -v root="$root" -v platform="$platform" -v names="$library_names" -v dispinterfaces=" $dispinterfaces" '
function attribute(line, name,    rest) {
    if (!match(line, " " name "=\"[^\"]*\"")) return ""
    rest = substr(line, RSTART + length(name) + 3, RLENGTH - length(name) - 4)
    return rest
}
function escape(text) { gsub(/&/, "\\&amp;", text); gsub(/"/, "\\&quot;", text); return text }
function row(key, name, value) {
    printf "            <RegistryValue Root=\"%s\" Key=\"Software\\Classes\\%s\"%s Value=\"%s\" Type=\"string\"/>\n",
        root, escape(key), name == "" ? "" : " Name=\"" escape(name) "\"", escape(value)
}
function progid(id, class) {
    row(id, "", description[class])
    row(id "\\CLSID", "", class)
}
BEGIN {
    # The manifest lists the libraries in the order of the IDL files.
    count = split(names, lines, "\n")
    for (i = 1; i <= count; i++) { split(lines[i], parts, "|"); helpstrings[i] = parts[2] }
    library = 0
}
/<typelib / {
    tlbid = attribute($0, "tlbid")
    version[tlbid] = attribute($0, "version")
    resource = attribute($0, "resourceid")
    key = "TypeLib\\" tlbid "\\" version[tlbid]
    row(key, "", helpstrings[++library])
    row(key "\\0\\" platform, "", "[#ZanthelDll]" (resource == 1 ? "" : "\\" resource))
    # LIBFLAG_FHASDISKIMAGE: the library is read from a file.
    row(key "\\FLAGS", "", "8")
    row(key "\\HELPDIR", "", "[INSTALLDIR]")
}
/<comClass / {
    class = attribute($0, "clsid")
    description[class] = attribute($0, "description")
    tlbid = attribute($0, "tlbid")
    key = "CLSID\\" class
    row(key, "", description[class])
    row(key "\\InprocServer32", "", "[#ZanthelDll]")
    row(key "\\InprocServer32", "ThreadingModel", attribute($0, "threadingModel"))
    row(key "\\ProgID", "", attribute($0, "progid"))
    row(key "\\TypeLib", "", tlbid)
    row(key "\\VERSION", "", version[tlbid])
    progid(attribute($0, "progid"), class)
    current = attribute($0, "progid")
}
/<progid>/ {
    independent = $0
    sub(/.*<progid>/, "", independent)
    sub(/<\/progid>.*/, "", independent)
    row("CLSID\\" class "\\VersionIndependentProgID", "", independent)
    progid(independent, class)
    row(independent "\\CurVer", "", current)
}
/<comInterfaceExternalProxyStub / {
    key = "Interface\\" attribute($0, "iid")
    tlbid = attribute($0, "tlbid")
    name = attribute($0, "name")
    marshaler = index(dispinterfaces, " " name " ") ? "{00020420-0000-0000-C000-000000000046}" : \
        attribute($0, "proxyStubClsid32")
    row(key, "", name)
    row(key "\\ProxyStubClsid", "", marshaler)
    row(key "\\ProxyStubClsid32", "", marshaler)
    row(key "\\TypeLib", "", tlbid)
    row(key "\\TypeLib", "Version", version[tlbid])
}
' "$manifest" >"$rows"

awk -v version="$version" -v arch="$arch" -v folder="$folder" -v guid="$guid" -v win64="$win64" \
    -v rows="$rows" -v scope="$scope" -v installScope="$installScope" -v upgrade="$upgrade" '
/@ROWS@/ { while ((getline line <rows) > 0) print line; next }
/@PER_USER@/ { if (scope != "user") next; sub(/@PER_USER@/, "") }
{
    gsub(/@VERSION@/, version); gsub(/@ARCH@/, arch); gsub(/@PROGRAM_FILES@/, folder)
    gsub(/@UPGRADE_CODE@/, upgrade); gsub(/@COMPONENT_GUID@/, guid)
    gsub(/@WIN64@/, win64); gsub(/@SCOPE@/, installScope)
    print
}' "$here/Zanthel.wxs.in"
