#!/usr/bin/env bash
# The checks hand paths to "bash -c" scripts as $0 and $1, which stay in single quotes; the
# clean-up function runs from a trap.
# shellcheck disable=SC2016,SC1003,SC2317
# Runs the Windows builds of kitforge-cli, the two stubs and ZIPDLL.DLL under Wine and checks
# what they write, byte for byte, against the sources and against Info-ZIP's unzip.
#   tests/windows/run-under-wine.sh BIN_FOLDER
# BIN_FOLDER holds kitforge-cli.exe, setup.ex_, zipsfx.bin and ZIPDLL.DLL (build-windows/bin).
# Exit status: 0 every check passed, 1 a check failed, 77 Wine cannot run 32-bit programs here.
# Needs wine (with wine32), zip, unzip and cmp; KITFORGE_WINE names another loader (the 64-bit one
# for a 64-bit build). Wine gets a throwaway prefix, removed at the end.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

if [ $# -ne 1 ] || [ "$1" = "--help" ] || [ "$1" = "-h" ]; then
  sed -n '5,11p' "$0" | sed 's/^# \{0,1\}//'
  [ $# -eq 1 ] && exit 0 || exit 2
fi
bin=$(cd "$1" && pwd)
for file in kitforge-cli.exe setup.ex_ zipsfx.bin ZIPDLL.DLL; do
  [ -f "$bin/$file" ] || { echo "run-under-wine: $bin/$file is missing" >&2; exit 2; }
done
wine=${KITFORGE_WINE:-wine}
for tool in "$wine" zip unzip cmp; do
  command -v "$tool" >/dev/null || { echo "run-under-wine: $tool is not installed" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kitforge-wine-XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export WINEDEBUG=-all
cleanup() {
  wineserver -k >/dev/null 2>&1 || true   # only the server of our own prefix
  rm -rf "$work"
}
trap cleanup EXIT

# The Windows name of a path on this machine: Wine's drive Z: is the root folder.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Runs a Windows program; its output goes to $work/out and $work/err, its status to $status.
run() {
  "$wine" "$@" >"$work/out" 2>"$work/err" </dev/null
  status=$?
}

checks=0
failures=0
check() {  # check NAME COMMAND...: one check, passed when COMMAND succeeds
  local name=$1
  shift
  checks=$((checks + 1))
  if "$@"; then
    echo "PASS  $name"
  else
    failures=$((failures + 1))
    echo "FAIL  $name"
    echo "      status $status; stdout: $(head -c 600 "$work/out" | tr '\n' ' ')"
    echo "      stderr: $(head -c 600 "$work/err" | tr '\n' ' ')"
  fi
}
has() { grep -qF -- "$1" "$2"; }
same_tree() { diff -r "$1" "$2" >/dev/null; }

# Wine first makes its prefix (slow, once); a 32-bit program under a Wine without 32-bit
# support prints nothing and still ends with 0, so the probe looks at the output.
run "$bin/kitforge-cli.exe" --version
if ! grep -q '[0-9]\.[0-9]' "$work/out"; then
  echo "run-under-wine: Wine cannot run 32-bit programs here (no output from kitforge-cli.exe --version); skipped" >&2
  exit 77
fi
echo "Wine: $("$wine" --version 2>/dev/null); kitforge-cli.exe: $(head -n 1 "$work/out")"

# --- The installer: build the example, install it unattended, compare what it installed. ---
project="$work/hello"
mkdir -p "$project/files"
cp "$root/examples/hello/hello.inf" "$project/"
cp "$here/hello-windows.inf" "$project/"
cp "$root/examples/hello/files/"* "$here/files/"* "$project/files/"

run "$bin/kitforge-cli.exe" build "$(winpath "$project/hello.inf")" -o "$(winpath "$work/hello-setup.exe")"
check "build examples/hello/hello.inf into an installer" \
  test $status -eq 0 -a -s "$work/hello-setup.exe"
# The builder writes the installer's own version information over the stub's, in the
# resource section, and zeroes the header's checksum: no other byte of the stub changes.
pe_objdump=$(command -v x86_64-w64-mingw32-objdump || command -v i686-w64-mingw32-objdump)
stub_copied_but_version() {
  local rsrc  # the section's file offset and size, in hexadecimal
  rsrc=$("$pe_objdump" -h "$bin/setup.ex_" | awk '$2 == ".rsrc" { print $6, $3 }')
  [ -n "$rsrc" ] || return 1
  cmp -l -n "$(stat -c %s "$bin/setup.ex_")" "$bin/setup.ex_" "$work/hello-setup.exe" >"$work/differences"
  [ $? -le 1 ] || return 1  # 1: they differ, as they should
  awk -v from="$((16#${rsrc% *}))" -v size="$((16#${rsrc#* }))" '{ at = $1 - 1 }
    !(at >= from && at < from + size) && at >= 512 { bad = 1 } END { exit bad }' "$work/differences"
}
check "the installer begins with the Windows installer stub, byte for byte but its version information" \
  stub_copied_but_version

run "$bin/kitforge-cli.exe" inspect "$(winpath "$work/hello-setup.exe")"
check "kitforge-cli inspect lists the installer's files" \
  bash -c '[ '$status' -eq 0 ] && grep -q hello.sh "$0" && grep -q readme.txt "$0"' "$work/out"

run "$work/hello-setup.exe" --check
check "the installer checks itself (--check)" test $status -eq 0

run "$work/hello-setup.exe" --silent --target "$(winpath "$work/installed")"
# Its third line runs hello.sh, a shell script that Windows cannot start: the two files
# before it are installed and the installer says which line failed.
check "the example installs its two files unattended, byte for byte" \
  bash -c 'cmp -s "$0/files/hello.sh" "$1/hello.sh" && cmp -s "$0/files/readme.txt" "$1/readme.txt"' \
  "$project" "$work/installed"
check "the example's shell script cannot run on Windows: status 1, naming line 3" \
  bash -c '[ '$status' -eq 1 ] && grep -q "line 3" "$0"' "$work/err"

run "$bin/kitforge-cli.exe" build "$(winpath "$project/hello-windows.inf")" -o "$(winpath "$work/hello-windows.exe")"
check "build the Windows variant of the example" test $status -eq 0
run "$work/hello-windows.exe" --silent --target "$(winpath "$work/installed-windows")"
check "the Windows variant installs completely (status 0)" test $status -eq 0
check "every installed file equals its source, in the folders the script names" \
  bash -c 'cmp -s "$0/files/hello.cmd" "$1/hello.cmd" && cmp -s "$0/files/later.cmd" "$1/later.cmd" &&
           cmp -s "$0/files/readme.txt" "$1/readme.txt" &&
           cmp -s "$0/files/hello.sh" "$1/unix/hello.sh"' "$project" "$work/installed-windows"
check "EXECUTE ran the program with its two arguments and waited for it" \
  bash -c 'printf "first word|second\r\n" | cmp -s - "$0/ran.txt"' "$work/installed-windows"
check "LINK makes its shortcut on Windows without a warning" bash -c '! grep -q "is skipped" "$0"' "$work/err"
# RUN does not wait: its program writes its file a little later.
started_later() {
  local try
  for try in $(seq 1 40); do
    [ -s "$1" ] && break
    [ "$try" -lt 40 ] && sleep 0.5
  done
  printf 'detached\r\n' | cmp -s - "$1"
}
check "RUN started its program with its argument" started_later "$work/installed-windows/later.txt"

# --- The zip library and the self-extractor. ---
tree="$work/tree"
mkdir -p "$tree/sub/deeper"
printf 'alpha\n' >"$tree/a.txt"
head -c 400000 /dev/urandom >"$tree/random.bin"
seq 1 200000 >"$tree/sub/numbers.txt"
: >"$tree/sub/empty.txt"
printf 'umlaut\n' >"$tree/sub/deeper/grüße.txt"

cd "$work" || exit 1
run "$bin/kitforge-cli.exe" add -r -D "$(winpath "$work/made.zip")" tree
check "kitforge-cli add (ZIPDLL.DLL) packs a folder tree" bash -c '[ '$status' -eq 0 ] && grep -q "5 entries added" "$0"' "$work/out"
check "Info-ZIP unzip -t finds every entry of it sound" bash -c 'unzip -tq "$0" >/dev/null' "$work/made.zip"
check "it holds the five files under their folder names, the UTF-8 name included" \
  bash -c '[ "$(unzip -Z1 "$0" | sort | tr "\n" " ")" = "tree/a.txt tree/random.bin tree/sub/deeper/grüße.txt tree/sub/empty.txt tree/sub/numbers.txt " ]' \
  "$work/made.zip"
mkdir -p "$work/unzipped"
unzip -q "$work/made.zip" -d "$work/unzipped" 2>/dev/null
check "unzip gives back every byte" same_tree "$tree" "$work/unzipped/tree"

printf 'alpha, second edition\n' >"$work/a.txt"
run "$bin/kitforge-cli.exe" add "$(winpath "$work/made.zip")" "$(winpath "$work/a.txt")"
check "adding a file of a name already stored replaces that entry" \
  bash -c '[ '$status' -eq 0 ] && unzip -p "$0" a.txt | cmp -s - "$1" && unzip -tq "$0" >/dev/null' \
  "$work/made.zip" "$work/a.txt"

cp "$work/made.zip" "$work/sfx.zip"
run "$bin/kitforge-cli.exe" make-sfx "$(winpath "$work/sfx.zip")" --delete final
check "kitforge-cli make-sfx turns the zip into sfx.exe" test $status -eq 0 -a -s "$work/sfx.exe" -a ! -e "$work/sfx.zip"
check "sfx.exe begins with the Windows self-extracting stub" \
  cmp -s -n "$(stat -c %s "$bin/zipsfx.bin")" "$bin/zipsfx.bin" "$work/sfx.exe"
check "Info-ZIP unzip -t reads the self-extracting file" bash -c 'unzip -tq "$0" >/dev/null 2>&1' "$work/sfx.exe"
run "$work/sfx.exe" --test
check "the self-extractor tests its own archive (--test)" test $status -eq 0
run "$work/sfx.exe" --silent -d "$(winpath "$work/extracted")"
check "the Windows stub extracts every file, byte for byte" \
  bash -c '[ '$status' -eq 0 ] && diff -r "$0/extracted/tree" "$1" >/dev/null && cmp -s "$0/extracted/a.txt" "$0/a.txt"' \
  "$work" "$tree"

# Names outside the ANSI code page reach the programs whole: they read the UTF-16 command line.
mkdir -p "$work/αβγ"
run "$bin/kitforge-cli.exe" add "$(winpath "$work/αβγ/ω.zip")" "$(winpath "$tree/sub/deeper/grüße.txt")"
check "kitforge-cli takes a Greek path from its command line" bash -c 'unzip -tq "$0" >/dev/null 2>&1' "$work/αβγ/ω.zip"
run "$work/sfx.exe" --silent -d "$(winpath "$work/ψχ")"
check "the self-extractor takes a Greek target folder from its command line" cmp -s "$work/ψχ/a.txt" "$work/a.txt"
run "$work/hello-windows.exe" --silent --target "$(winpath "$work/φ installed")"
check "the installer takes a Greek target folder from its command line" \
  cmp -s "$project/files/readme.txt" "$work/φ installed/readme.txt"

head -c $(( $(stat -c %s "$work/sfx.exe") - 5000 )) "$work/sfx.exe" >"$work/cut.exe"
run "$work/cut.exe" --silent -d "$(winpath "$work/from-cut")"
check "a cut-off self-extracting file fails and writes nothing" \
  bash -c '[ '$status' -ne 0 ] && [ -z "$(ls -A "$0" 2>/dev/null)" ]' "$work/from-cut"

# A zip library in the current folder is never loaded: only the program's folder and the
# system's folders are searched for ZIPDLL.DLL.
mkdir -p "$work/lonely" "$work/downloads"
cp "$bin/kitforge-cli.exe" "$work/lonely/"
cp "$bin/ZIPDLL.DLL" "$work/downloads/"
cp "$work/a.txt" "$work/downloads/"
(cd "$work/downloads" && "$wine" "$work/lonely/kitforge-cli.exe" add planted.zip a.txt >"$work/out" 2>"$work/err" </dev/null)
status=$?
check "ZIPDLL.DLL is not loaded from the current folder" \
  bash -c '[ '$status' -ne 0 ] && [ ! -e "$0/planted.zip" ]' "$work/downloads"

# --- A multi-volume set on a fixed drive: numbered files that Info-ZIP joins back. ---
mkdir -p "$work/set" "$work/joined"
run "$bin/kitforge-cli.exe" span "$(winpath "$work/made.zip")" "$(winpath "$work/set/arch.zip")" --max-volume 150000
volumes=$(find "$work/set" -name 'arch[0-9][0-9][0-9].zip' | wc -l)
check "kitforge-cli span writes numbered volumes of at most 150000 bytes" \
  bash -c '[ '$status' -eq 0 ] && [ '"$volumes"' -ge 3 ] && [ -z "$(find "$0" -size +150000c)" ]' "$work/set"
joined_set_is_the_archive() {
  local number last
  last=$(printf '%03d' "$volumes")
  for number in $(seq 1 $((volumes - 1))); do
    cp "$work/set/arch$(printf '%03d' "$number").zip" "$work/joined/arch.z$(printf '%02d' "$number")"
  done
  cp "$work/set/arch$last.zip" "$work/joined/arch.zip"
  (cd "$work/joined" && zip -q -s 0 arch.zip --out whole.zip) || return 1
  mkdir -p "$work/joined/out" && unzip -q "$work/joined/whole.zip" -d "$work/joined/out" || return 1
  diff -r "$work/unzipped/tree" "$work/joined/out/tree" >/dev/null
}
check "Info-ZIP joins the set into an archive with every byte" joined_set_is_the_archive

# --- Reading an archive made by Info-ZIP. ---
(cd "$tree" && zip -qr -X "$work/infozip.zip" .)
run "$bin/kitforge-cli.exe" list "$(winpath "$work/infozip.zip")"
# The list shows names as the zip component keeps them, with "\" for "/".
listed_names_match() {
  [ "$status" -eq 0 ] || return 1
  local expected listed
  expected=$(unzip -Z1 "$1" | tr '/' '\\' | sort)
  # Console output on Windows ends its lines in CR LF.
  listed=$(tr -d '\r' <"$work/out" | awk '/^ +Offset/ { table = 1; next } table && NF == 0 { exit } table { print $NF }' | sort)
  [ -n "$listed" ] && [ "$expected" = "$listed" ]
}
check "kitforge-cli list reads an Info-ZIP archive: every entry named" listed_names_match "$work/infozip.zip"

# --- Shortcuts, the Settings > Apps entry and the uninstaller on Windows. ---
# Wine runs programs elevated: the entry goes to the machine's list then, else to the user's.
uninstall_keys() {
  local root
  for root in HKCU HKLM; do "$wine" reg query "$root\Software\Microsoft\Windows\CurrentVersion\Uninstall" /s; done \
    >"$work/out" 2>"$work/err" </dev/null
  status=$?
}
cp "$here/shell-windows.inf" "$project/"
run "$bin/kitforge-cli.exe" build "$(winpath "$project/shell-windows.inf")" -o "$(winpath "$work/shell-setup.exe")"
run "$work/shell-setup.exe" --silent --target "$(winpath "$work/installed-shell")"
shell_status=$status
cp "$work/out" "$work/shell-out"
cp "$work/err" "$work/shell-err"
# Where the installer says it put each shortcut, as paths of this machine.
: >"$work/shortcuts"
tr -d '\r' <"$work/shell-out" | sed -n 's/.*Creating the shortcut \(.*\.lnk\)$/\1/p' | while IFS= read -r place; do
  "$wine" winepath -u "$place" 2>/dev/null | tr -d '\r' >>"$work/shortcuts"
done
hex() { od -An -tx1 -v | tr -d ' \n'; }
# A shortcut names its target: the target's path stands in it (UTF-16 or the ANSI code page).
names_target() {
  local lnk=$1 target=$2 body
  [ -s "$lnk" ] || return 1
  body=$(hex <"$lnk")
  [[ $body == *"$(printf '%s' "$target" | iconv -f UTF-8 -t UTF-16LE | hex)"* ]] ||
    [[ $body == *"$(printf '%s' "$target" | hex)"* ]]
}
shortcuts_made() {
  [ "$shell_status" -eq 0 ] && [ "$(wc -l <"$work/shortcuts")" -eq 3 ] || return 1
  local desktop menu start
  desktop=$(grep -F '/Shell Kitforge.lnk' "$work/shortcuts" | grep -iF '/desktop/') &&
    menu=$(grep -F '/Programs/Shell Kitforge/Read me.lnk' "$work/shortcuts") &&
    start=$(grep -iF '/start menu/Shell Kitforge.lnk' "$work/shortcuts") || return 1
  names_target "$desktop" "$(winpath "$work/installed-shell")\\hello.cmd" &&
    names_target "$menu" "$(winpath "$work/installed-shell")\\docs\\readme.txt" &&
    names_target "$start" "$(winpath "$work/installed-shell")\\hello.cmd" &&
    names_target "$desktop" "first word"
}
check "LINK makes .lnk shortcuts on the desktop and in the Start menu that name their targets" shortcuts_made
check "a LINK token without a Windows folder is skipped with a warning" \
  has "the folder <PRINTERS> has no place for shortcuts on this system" "$work/shell-err"
uninstall_keys
listed_in_settings() {
  local entry
  entry=$(tr -d '\r' <"$work/out" | awk '/^HKEY/ { keep = /Kitforge_[0-9a-f]+$/ } keep')
  grep -q 'DisplayName *REG_SZ *Shell Kitforge$' <<<"$entry" &&
    grep -qF "UninstallString    REG_SZ    \"$(winpath "$work/installed-shell")\\uninstall.exe\"" <<<"$entry" &&
    grep -qF "InstallLocation    REG_SZ    $(winpath "$work/installed-shell")" <<<"$entry" &&
    grep -q 'EstimatedSize *REG_DWORD *0x[1-9]' <<<"$entry" &&
    grep -q 'NoModify *REG_DWORD *0x1$' <<<"$entry" && grep -q 'NoRepair *REG_DWORD *0x1$' <<<"$entry"
}
check "the installation is listed under the Uninstall key with its name, size and command" listed_in_settings
run "$work/installed-shell/uninstall.exe" --silent
run_status=$status
uninstall_keys
all_gone() {
  [ "$run_status" -eq 0 ] && [ ! -e "$work/installed-shell" ] || return 1
  local lnk
  while IFS= read -r lnk; do [ ! -e "$lnk" ] || return 1; done <"$work/shortcuts"
  ! tr -d '\r' <"$work/out" | grep -q 'Shell Kitforge'
}
check "the uninstaller removes the files, the folders, the shortcuts and the Uninstall key" all_gone

# A failed build leaves nothing at the output name: no cut-off installer, no temporary file,
# and no earlier installer (which would pass for the new one).
mkdir -p "$work/failing/files/readme.txt" "$work/failing-out"
printf '[info]\ntitle=Failing\n\n[script]\n1=extract "%%apppath%%\\files\\readme.txt" "%%program%%"\n' \
  >"$work/failing/failing.inf"
run "$bin/kitforge-cli.exe" build "$(winpath "$work/failing/failing.inf")" -o "$(winpath "$work/failing-out/setup.exe")"
failed_status=$status
printf 'an earlier installer\n' >"$work/failing-out/earlier.exe"
run "$bin/kitforge-cli.exe" build "$(winpath "$work/failing/failing.inf")" -o "$(winpath "$work/failing-out/earlier.exe")"
check "a failed build leaves nothing at its output name" \
  bash -c '[ '"$failed_status"' -ne 0 ] && [ '$status' -ne 0 ] && [ -z "$(ls -A "$0")" ]' "$work/failing-out"
# --- The stubs are window programs; scripts still talk to them through files and pipes. ---
pe_subsystem() {  # the Subsystem field of the PE file $1: 2 a window program, 3 a console one
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tu2 -j$((header + 92)) -N2 "$1" | tr -d ' '
}
check "setup.ex_ and zipsfx.bin are window programs: no console opens from the Explorer" \
  test "$(pe_subsystem "$bin/setup.ex_") $(pe_subsystem "$bin/zipsfx.bin")" = "2 2"
printf 'yes\n' | "$wine" "$work/hello-windows.exe" --text --target "$(winpath "$work/piped")" >"$work/out" 2>"$work/err"
status=$?
check "the installer still asks and answers through pipes (--text), its output redirected" \
  bash -c '[ '$status' -eq 0 ] && grep -q "Installation complete." "$0" && [ -f "$1/readme.txt" ]' "$work/out" "$work/piped"
# --- Version information, manifest and icon of every program, and an installer's own. ---
version=$("$wine" "$bin/kitforge-cli.exe" --version 2>/dev/null | tr -d '\r' | grep -o '[0-9][0-9.]*[0-9]' | head -n 1)
for file in kitforge-cli.exe setup.ex_ zipsfx.bin ZIPDLL.DLL; do
  run "$bin/kitforge-cli.exe" version-info "$(winpath "$bin/$file")"
  check "version-info reads $file: Kitforge $version, $file" bash -c '[ '$status' -eq 0 ] &&
    grep -q "^ProductName: *Kitforge[[:cntrl:]]*$" "$0" && grep -q "^FileVersion: *$1[[:cntrl:]]*$" "$0" &&
    grep -q "^OriginalFilename: *$2[[:cntrl:]]*$" "$0"' "$work/out" "$version" "$file"
done
# The resource types of a PE file, in decimal: the top-level entries of objdump's listing of
# its resource directory ("010   Entry: ID: 0x000003, ...").
resource_types() {
  "$pe_objdump" -p "$1" | sed -n 's/^[0-9a-f]*   Entry: ID: \(0x[0-9a-f]*\),.*/\1/p' | xargs -r printf '%d\n' | tr '\n' ' '
}
for file in kitforge-cli.exe setup.ex_ zipsfx.bin; do
  check "$file carries a manifest (asInvoker, long paths) and an icon" bash -c '
    types=" $1"; [[ $types == *" 24 "* && $types == *" 14 "* && $types == *" 3 "* && $types == *" 16 "* ]] &&
    strings "$0" | grep -q "level=\"asInvoker\"" && strings "$0" | grep -q "<longPathAware[^>]*>true" &&
    strings "$0" | grep -q "Microsoft.Windows.Common-Controls"' "$bin/$file" "$(resource_types "$bin/$file")"
done
mkdir -p "$work/versioned"
cp "$work/a.txt" "$work/versioned/"
printf '[info]\r\ntitle=Hello Versioned\r\nprompt=P\r\noutput=\r\nversion=1.4.2\r\npublisher=Acme Tools Ltd\r\n\r\n[script]\r\n1=extract "%%apppath%%\\a.txt" "%%program%%"\r\n' \
  >"$work/versioned/v.inf"
run "$bin/kitforge-cli.exe" build "$(winpath "$work/versioned/v.inf")" -o "$(winpath "$work/versioned/hello-versioned.exe")"
run "$bin/kitforge-cli.exe" version-info "$(winpath "$work/versioned/hello-versioned.exe")"
check "version-info reads an installer's title, version, publisher and file name" bash -c '[ '$status' -eq 0 ] &&
  grep -q "^ProductName: *Hello Versioned[[:cntrl:]]*$" "$0" && grep -q "^FileDescription: *Hello Versioned[[:cntrl:]]*$" "$0" &&
  grep -q "^ProductVersion: *1.4.2[[:cntrl:]]*$" "$0" && grep -q "^FileVersion: *1.4.2.0[[:cntrl:]]*$" "$0" &&
  grep -q "^CompanyName: *Acme Tools Ltd[[:cntrl:]]*$" "$0" && grep -q "^OriginalFilename: *hello-versioned.exe[[:cntrl:]]*$" "$0"' "$work/out"
run "$work/versioned/hello-versioned.exe" --check
check "the installer with its own version information checks itself (--check)" test $status -eq 0
# --- Signed programs: osslsigncode appends a certificate table after the payload or archive
# (skipped without osslsigncode and openssl). ---
if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/sign.key" -out "$work/sign.pem" -days 2 \
    -subj "/CN=Kitforge test signer" >/dev/null 2>&1
  for unsigned in hello-windows sfx; do
    osslsigncode sign -certs "$work/sign.pem" -key "$work/sign.key" -in "$work/$unsigned.exe" \
      -out "$work/signed-$unsigned.exe" >/dev/null 2>&1
  done
  check "osslsigncode signs the installer and the self-extractor" \
    bash -c '[ "$(stat -c %s "$0/signed-sfx.exe")" -gt "$(stat -c %s "$0/sfx.exe")" ] &&
             [ "$(stat -c %s "$0/signed-hello-windows.exe")" -gt "$(stat -c %s "$0/hello-windows.exe")" ]' "$work"
  run "$work/signed-hello-windows.exe" --check
  check "the signed installer checks itself (--check)" test $status -eq 0
  run "$bin/kitforge-cli.exe" inspect "$(winpath "$work/signed-hello-windows.exe")"
  check "kitforge-cli inspect reads the signed installer and its checksum matches" \
    bash -c '[ '$status' -eq 0 ] && grep -q "hello.cmd" "$0" && grep -q "matches" "$0"' "$work/out"
  run "$work/signed-hello-windows.exe" --silent --target "$(winpath "$work/installed-signed")"
  check "the signed installer installs every file" \
    bash -c '[ '$status' -eq 0 ] && cmp -s "$0/files/hello.cmd" "$1/hello.cmd" && cmp -s "$0/files/readme.txt" "$1/readme.txt"' \
    "$project" "$work/installed-signed"
  run "$work/signed-sfx.exe" --test
  check "the signed self-extractor tests its own archive (--test)" test $status -eq 0
  run "$work/signed-sfx.exe" --silent -d "$(winpath "$work/extracted-signed")"
  check "the signed self-extractor extracts every file, byte for byte" \
    bash -c '[ '$status' -eq 0 ] && diff -r "$0/extracted-signed/tree" "$1" >/dev/null' "$work" "$tree"
  run "$bin/kitforge-cli.exe" list "$(winpath "$work/signed-sfx.exe")"
  check "kitforge-cli list reads the signed self-extractor, without a warning about its signature" \
    bash -c '[ '$status' -eq 0 ] && grep -q "random.bin" "$0" && ! grep -qi "warning" "$1"' "$work/out" "$work/err"
else
  echo "SKIP  signed installers and self-extractors: osslsigncode or openssl is not installed"
fi
# --- Messages as a Windows user reads them: "\" in paths, Windows' own error texts, one line
# per failure. ---
# "Bad EXE format for %1." is Wine's text for ERROR_BAD_EXE_FORMAT (Windows: "%1 is not a valid
# Win32 application."); the C runtime would say "Exec format error".
run "$work/hello-setup.exe" --silent --target "$(winpath "$work/installed-msg")"
check "a failing EXECUTE names the program with \\ and gives Windows' own text" \
  has "$(winpath "$work/installed-msg")\\hello.sh cannot be started: Bad EXE format for it (error 193)" "$work/err"
mkdir -p "$work/broken"
printf '[info]\r\ntitle=Broken\r\n[script]\r\n1=extract "%%apppath%%\\missing.txt" "%%program%%"\r\n' >"$work/broken/broken.inf"
# Named from the current folder ($work), which the program joins to it with "/".
run "$bin/kitforge-cli.exe" build -q 'broken\broken.inf'
printf 'kitforge-cli: warning: There was an error building the install file. File not found: %s\\missing.txt\r\n' \
  "$(winpath "$work/broken")" >"$work/expected-err"
check "a failed build prints exactly one line, the Linux wording with \\ in the path" \
  bash -c '[ '$status' -ne 0 ] && cmp -s "$0" "$1"' "$work/expected-err" "$work/err"
# A target typed with "/", which Windows takes, is still shown the Windows way.
run "$work/hello-windows.exe" --silent --target "Z:$work/installed-msg2"
check "the installer's messages show its paths without /" \
  bash -c 'grep -qF "Install folder: Z:\\" "$0" && ! grep -ho "Z:[^ ]*" "$0" "$1" | grep -q /' "$work/out" "$work/err"

echo "$checks checks, $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
