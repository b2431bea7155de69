#!/usr/bin/env bash
# The real setup program, end to end, in a Wine prefix of its own: a robot
# installs the package, changes its options and removes it again, like a user
# would; after each step and after each simulated restart the registry, the
# files, the shortcuts and the pending file operations are compared with what
# the package must leave.
# Usage: install_modify_remove.sh SOURCE_DIR BUILD_DIR NATIVE_BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
native=$3
. "$source_dir/scripts/common.sh"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
work=$build/e2e
prefix=$work/wineprefix
mkdir -p "$work"
rm -rf "$prefix" "$prefix.lock" "$work"/*.txt
# A display of its own: the wizards walked here would otherwise take the focus
# from the window tests that run meanwhile on the shared one.
unset DISPLAY
ensure_display
# A fresh prefix with a server that lives as long as this script.
keep_wineserver "$prefix"
export WINEPREFIX=$prefix
drive=$prefix/drive_c

fail() {
  echo "e2e: $*" >&2
  exit 1
}

# The whole wizard runs under Windows 7: Wine reports only its own keyboard
# layout, which stops the program on Windows 8 and later.
"$wine" reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null
# The machine already remaps two keys: the left Windows key (E0 5B) sends
# nothing, and A (1E) sends itself, a remapping that means no change. The
# installation writes the map again from what it kept: the first mapping only.
"$wine" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout' /v 'Scancode Map' \
  /t REG_BINARY /d 00000000000000000300000000005be01e001e0000000000 /f >/dev/null
# The system program that applies input-language settings files is replaced
# by one that records how it was started and what it was given (Wine's own
# does nothing with such a file).
cp "$build/command_recorder.exe" "$drive/windows/system32/control.exe"
"$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v control.exe /d native /f >/dev/null

# --- What the package must leave --------------------------------------------
program_files='C:\Program Files'
install_dir="$program_files"'\Tundra Type\PhonoRus'
menu='C:\ProgramData\Microsoft\Windows\Start Menu\Programs'
menu_dir="$menu"'\Tundra Type\PhonoRus'
desktop='C:\users\Public\Desktop'
component='PhonoRus Layout Guide (Russian)'
shared='Cyrillic Typing Basics'
setup_link='Change or remove PhonoRus Russian Phonetic'
layout_key='HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layouts\a0000419'
# The staged layout builds and where the restart puts them.
staged32="\\??\\$install_dir\\kbdphrus.dll"
staged64="\\??\\$install_dir\\kbdphrus.dll64"
system32='C:\windows\system32\kbdphrus.dll'
syswow64='C:\windows\syswow64\kbdphrus.dll'


# --- The expected layout files -----------------------------------------------
# Windows 7 on AMD64 takes the 32-bit build of slot 8 (for SysWOW64) and the
# 64-bit build of slot 10 (for System32), group 0, variant 0 (QWERTY).
build_file() {
  awk -F'\t' -v slot="$1" '$3 == 0 && $4 == 0 && $5 == slot { print $2 }' \
    "$native/package/layouts/manifest.txt"
}
original32=$native/package/layouts/$(build_file 8)
original64=$native/package/layouts/$(build_file 10)
[ -f "$original32" ] && [ -f "$original64" ] || fail "the layout builds of slots 8 and 10 are missing"
# The byte patterns that locate the patched tables (package strings 146..151).
pattern() { awk -F'\t' -v id="$1" '$1 == id { print $2 }' "$native/package/patterns.txt"; }

image=
# Offset in bytes of the first occurrence of upper-case hex pattern $1 in image.
find_pattern() {
  local pattern=${1,,}
  local before=${image%%"$pattern"*}
  [ -n "$pattern" ] && [ "$before" != "$image" ] || fail "pattern $1 is not in the layout build"
  ((${#before} % 2 == 0)) || fail "pattern $1 first matches across a byte boundary"
  echo $((${#before} / 2))
}
put() { image=${image:0:$((2 * $1))}$2${image:$((2 * $1 + ${#2}))}; }
le16() { printf '%02x%02x' $(($1 & 0xff)) $(($1 >> 8)); }

# Writes build $1, changed by the user's choices, to $2. Choices:
#   base SCANCODE VK   the key of a one-byte scancode produces VK
#   e0 SCANCODE VK     the same for an E0 key (its record in the E0 list)
#   comma              the keypad's decimal key types a comma
patched() {
  local original=$1 out=$2
  shift 2
  image=$(xxd -p "$original" | tr -d '\n')
  local base e0 comma record
  base=$(find_pattern "$(pattern 147)")
  e0=$(find_pattern "$(pattern 150)")
  while (($#)); do
    case $1 in
      base)
        put $((base + 2 * $2)) "$(le16 "$3")"
        shift 3
        ;;
      e0)
        record=$e0
        while [ "${image:$((2 * record)):2}" != 00 ]; do
          if [ "${image:$((2 * record)):2}" = "$(printf %02x "$2")" ]; then
            put $((record + 2)) "$(le16 "$3")"
            break
          fi
          record=$((record + 4))
        done
        shift 3
        ;;
      comma)
        comma=$(find_pattern "$(pattern 146)")
        put "$comma" 2c
        put $((comma + 2)) 2c
        shift
        ;;
    esac
  done
  xxd -p -r <<<"$image" >"$out"
}

installed_keys=(base 0x3A 0x00A2 comma)
modified_keys=(base 0x3A 0x00FF e0 0x38 0x015D)
patched "$original32" "$work/installed32.dll" "${installed_keys[@]}"
patched "$original64" "$work/installed64.dll" "${installed_keys[@]}"
patched "$original32" "$work/modified32.dll" "${modified_keys[@]}"
patched "$original64" "$work/modified64.dll" "${modified_keys[@]}"
# Every expected build differs from its original in exactly the patched bytes.
expect_changes() {
  local n
  n=$( (cmp -l "$1" "$2" || true) | wc -l)
  [ "$n" = "$3" ] || fail "the expected $(basename "$2") differs from its build in $n bytes, not $3"
}
# Caps Lock's two bytes (A2 00 over 14 00: one byte) and the two commas.
expect_changes "$original32" "$work/installed32.dll" 3
expect_changes "$original64" "$work/installed64.dll" 3
# Caps Lock (FF over 14) and right Alt (5D 01 over A5 01).
expect_changes "$original32" "$work/modified32.dll" 2
expect_changes "$original64" "$work/modified64.dll" 2

same() { cmp "$1" "$2" >/dev/null 2>&1 || fail "$3: $1 is not as expected ($2)"; }
unix() {
  local p=${1#C:\\}
  echo "$drive/${p//\\//}"
}

# --- The other files ---------------------------------------------------------
# A text of a string table source (default: English), as the package has it.
string_text() {
  perl -CSD -e '
    my $id = shift; my ($on, @lines);
    while (<>) {
      if (/^(\d+) =\s*$/) { $on = $1 == $id; next }
      if (/^(\d+) = (.*)$/) { push @lines, $2 if $1 == $id; $on = 0; next }
      if ($on && s/^\s*\| ?//) { chomp; push @lines, $_; next }
      $on = 0;
    }
    my $t = join("\r\n", @lines);
    $t =~ s/\\u([0-9A-Fa-f]{4})/chr(hex $1)/ge;
    $t =~ s/\\s/ /g;
    $t =~ s/\\\\/\\/g;
    print $t;' "$1" "$source_dir/package/strings/${2:-language0}.txt"
}
string_text 67 >"$work/text.expected"
printf '[InternetShortcut]\r\nURL=file:///%s\\%s\r\n' "$install_dir" keychart.htm >"$work/pointer.expected"

check_files() {
  local step=$1 layouts=$2
  local docs=$native/package/documents dir
  dir=$(unix "$install_dir")
  same "$dir/$component.pdf" "$docs/manual.pdf" "$step"
  same "$dir/$shared.pdf" "$docs/keycaps.pdf" "$step"
  same "$dir/keychart.htm" "$docs/page.html" "$step"
  same "$dir/PhonoRus.txt" "$work/text.expected" "$step"
  same "$dir/setup64.exe" "$build/setup64.exe" "$step"
  same "$(unix "$menu_dir")/PhonoRus Key Chart.url" "$work/pointer.expected" "$step"
  same "$(unix "$desktop")/PhonoRus Key Chart.url" "$work/pointer.expected" "$step"
  same "$dir/kbdphrus.dll" "$work/${layouts}32.dll" "$step"
  same "$dir/kbdphrus.dll64" "$work/${layouts}64.dll" "$step"
  # The settings file handed to the input-language command is gone again.
  [ -z "$(find "$drive/users" -iname 'phr*.tmp')" ] || fail "$step: a settings file was left behind"
  echo "e2e: $step: files, staged layout builds and texts as expected"
}

# The input-language command: started once more (start number $2), by the
# system folder's program, on a settings file that was $3.
check_command() {
  local step=$1 number=$2 expected=$3 line
  line=$(sed -n "${number}p" "$drive/e2e/commands.txt" 2>/dev/null)
  [ "$(wc -l <"$drive/e2e/commands.txt")" = "$number" ] ||
    fail "$step: the input-language command ran $(wc -l <"$drive/e2e/commands.txt") times, not $number"
  [[ $line =~ ^control\.exe\ intl\.cpl,,/f:\"C:\\users\\[^\\]+\\Temp\\phr[0-9A-Fa-f]{1,4}\.tmp\"$ ]] ||
    fail "$step: unexpected input-language command: $line"
  same "$drive/e2e/file-$number.txt" "$expected" "$step"
  echo "e2e: $step: the input-language command had the expected settings file"
}
# Registration: the user's language (0409 here), the layout's key name, made
# the default; removal: the package's removal file as it stands.
printf -- "$(string_text 62 extra)" 0x0409 a0000419 "$(string_text 64 extra)" >"$work/register.expected"
printf -- "$(string_text 66 extra)" '' >"$work/unregister.expected"
grep -q 'Action="add" ID="0409:a0000419" Default="true"/>' "$work/register.expected" ||
  fail "the expected registration file is not what the package strings make"

# The system's copies of the layout after a restart.
check_system_layouts() {
  local step=$1 choices=$2
  same "$(unix "$syswow64")" "$work/${choices}32.dll" "$step"
  same "$(unix "$system32")" "$work/${choices}64.dll" "$step"
  echo "e2e: $step: the restart put the patched builds in System32 and SysWOW64"
}

# --- The expected report -----------------------------------------------------
# expected_report STATE DECIMAL KEYMAP RUNONCE STAGED PENDING...
#   STATE installed, removed, or gone (removed and restarted); DECIMAL and KEYMAP the package key's values;
#   RUNONCE yes when the post-change note waits for the next logon; STAGED yes
#   when the staged layout builds wait in the installation folder; PENDING the
#   lines of the pending file operations.
expected_report() {
  local state=$1 decimal=$2 keymap=$3 runonce=$4 staged=$5
  shift 5
  local s='HKLM\SOFTWARE\Tundra Type\PhonoRus' c
  if [ "$state" = installed ]; then
    cat <<EOF
key HKLM\\SOFTWARE\\Tundra Type
key $s
  InstallCount REG_DWORD 1
  PageDesktopPointer REG_SZ $desktop\\PhonoRus Key Chart.url
  PageFile REG_SZ $install_dir\\keychart.htm
  PageMenuPointer REG_SZ $menu_dir\\PhonoRus Key Chart.url
  PriorLayout REG_SZ 0409:00000409
  SharedDesktopLink REG_SZ $desktop\\$shared.lnk
  SharedFile REG_SZ $install_dir\\$shared.pdf
  SharedMenuLink REG_SZ $menu_dir\\$shared.lnk
  SharedStamp REG_DWORD 190
  TextDesktopLink REG_SZ $desktop\\PhonoRus.lnk
  TextFile REG_SZ $install_dir\\PhonoRus.txt
  TextMenuLink REG_SZ $menu_dir\\PhonoRus.lnk
key $s\\Components
key $s\\Components\\Russian
  DesktopLink REG_SZ $desktop\\$component.lnk
  File REG_SZ $install_dir\\$component.pdf
  MenuLink REG_SZ $menu_dir\\$component.lnk
  RefCount REG_DWORD 1
  Stamp REG_DWORD 190
key $s\\Packages
key $s\\Packages\\2.0
  DecimalKey REG_DWORD $decimal
  KeyMap REG_BINARY $keymap
  LayoutGroup REG_DWORD 0
  LayoutVariant REG_DWORD 0
  SavedLayoutGroup REG_DWORD 0
  SetupCopy REG_SZ $install_dir\\setup64.exe
  SetupMenuLink REG_SZ $menu_dir\\$setup_link.lnk
  State REG_DWORD 190
key $layout_key
  Layout Display Name REG_SZ @%SystemRoot%\\system32\\kbdphrus.dll,-1000
  Layout File REG_SZ kbdphrus.dll
  Layout Id REG_SZ 0f31
  Layout Text REG_SZ PhonoRus Russian Phonetic
EOF
  else
    echo "key HKLM\\SOFTWARE\\Tundra Type (absent)"
    echo "key $layout_key (absent)"
  fi
  # The map the machine had, less the remapping that changes nothing; the
  # switching keys stay as the installation set them.
  cat <<EOF
value HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout : Scancode Map REG_BINARY [20] 00 00 00 00 00 00 00 00 02 00 00 00 00 00 5b e0 00 00 00 00
key HKCU\\Keyboard Layout\\Toggle
  (default) REG_SZ 
  Hotkey REG_SZ 3
  Language Hotkey REG_SZ 3
  Layout Hotkey REG_SZ 3
EOF
  if [ "$runonce" = yes ]; then
    echo 'value HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce : PhonoRus REG_SZ ctfmon.exe'
  else
    echo 'value HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce : PhonoRus (absent)'
  fi
  if (($#)); then
    echo pending
    printf '  %s\n' "$@"
  else
    echo 'pending (none)'
  fi
  if [ "$state" != installed ]; then
    # The removal ran from the setup copy, which cannot delete itself: the
    # copy goes at the restart, and its folders, empty by then, after it.
    if [ "$state" = removed ]; then
      echo "files $program_files\\Tundra Type"
      echo "  PhonoRus\\"
      echo "files $install_dir"
      echo "  setup64.exe $(stat -c %s "$build/setup64.exe")"
    else
      echo "files $program_files\\Tundra Type (absent)"
    fi
    echo "files $menu\\Tundra Type (absent)"
    echo "files $desktop"
    for c in "$component" "$shared" PhonoRus "$setup_link"; do echo "link $menu_dir\\$c.lnk (absent)"; done
    for c in "$component" "$shared" PhonoRus; do echo "link $desktop\\$c.lnk (absent)"; done
    return
  fi
  cat <<EOF
files $program_files\\Tundra Type
  PhonoRus\\
files $install_dir
  $shared.pdf $(stat -c %s "$native/package/documents/keycaps.pdf")
  $component.pdf $(stat -c %s "$native/package/documents/manual.pdf")
  PhonoRus.txt $(stat -c %s "$work/text.expected")
EOF
  if [ "$staged" = yes ]; then
    echo "  kbdphrus.dll $(stat -c %s "$original32")"
    echo "  kbdphrus.dll64 $(stat -c %s "$original64")"
  fi
  cat <<EOF
  keychart.htm $(stat -c %s "$native/package/documents/page.html")
  setup64.exe $(stat -c %s "$build/setup64.exe")
files $menu\\Tundra Type
  PhonoRus\\
files $menu_dir
  $setup_link.lnk LINK
  $shared.lnk LINK
  PhonoRus Key Chart.url $(stat -c %s "$work/pointer.expected")
  $component.lnk LINK
  PhonoRus.lnk LINK
files $desktop
  $shared.lnk LINK
  PhonoRus Key Chart.url $(stat -c %s "$work/pointer.expected")
  $component.lnk LINK
  PhonoRus.lnk LINK
EOF
  for c in "$menu_dir" "$desktop"; do
    cat <<EOF
link $c\\$component.lnk
  target $install_dir\\$component.pdf
  description Guide to the PhonoRus Russian phonetic layout
  icon (none)
link $c\\$shared.lnk
  target $install_dir\\$shared.pdf
  description How to type Cyrillic text on a Latin keyboard
  icon (none)
link $c\\PhonoRus.lnk
  target $install_dir\\PhonoRus.txt
  description About PhonoRus
  icon %SystemRoot%\\system32\\shell32.dll,0
EOF
    if [ "$c" = "$menu_dir" ]; then
      cat <<EOF
link $c\\$setup_link.lnk
  target $install_dir\\setup64.exe
  description $setup_link
  icon $install_dir\\setup64.exe,0
EOF
    fi
  done
}

# The report in the order the expectation gives: the links of the Start menu,
# then those of the desktop.
report() {
  local c
  local -a links=()
  for c in "$component" "$shared" PhonoRus "$setup_link"; do links+=(link "$menu_dir\\$c.lnk"); done
  for c in "$component" "$shared" PhonoRus; do links+=(link "$desktop\\$c.lnk"); done
  "$wine" "$build/state_report.exe" \
    key 'HKLM\SOFTWARE\Tundra Type' \
    key "$layout_key" \
    value 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout' 'Scancode Map' \
    key 'HKCU\Keyboard Layout\Toggle' \
    value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce' PhonoRus \
    pending \
    files "$program_files"'\Tundra Type' \
    files "$menu"'\Tundra Type' \
    files "$desktop" \
    "${links[@]}"
}

# Shortcut sizes depend on how the shell stores them; their contents are
# read through the shell instead (the link lines).
normalise() { sed -E 's/^(  .*\.lnk) [0-9]+$/\1 LINK/'; }

check() {
  local step=$1
  shift
  report | normalise >"$work/$step.txt" || fail "$step: the state report failed"
  expected_report "$@" >"$work/$step.expected.txt"
  diff -u "$work/$step.expected.txt" "$work/$step.txt" ||
    fail "$step: the system differs from the expectation (above: - expected, + found)"
  echo "e2e: $step: registry, shortcuts and pending operations as expected"
}

run_robot() {
  "$wine" "$build/robot.exe" "$1" "$2" || fail "$2: the robot failed"
}

# Told to restart the prefix, Wine performs what a restart of Windows would:
# the pending file operations, then the run-once entries.
restart() {
  "$wine" wineboot -r >/dev/null 2>&1 || fail "the simulated restart failed"
}

move32="$staged32 -> !\\??\\$syswow64"
move64="$staged64 -> !\\??\\$system32"
delete32="\\??\\$syswow64 -> (delete)"
delete64="\\??\\$system32 -> (delete)"
setup_copy="$install_dir\\setup64.exe"
# The chosen-key records (scancode, virtual key) the robot's choices make:
# Caps Lock (3A) a left Ctrl (A2); after the change Caps Lock nothing (FF) and
# right Alt (E0 38) the Application key (15D), in the key table's row order.
installed_map='[4] 3a 00 a2 00'
modified_map='[8] 3a 00 ff 00 38 e0 5d 01'

# DecimalKey 0: the keypad's decimal key types a comma; 1 after the change.
run_robot "$build/setup64.exe" install
check installed installed 0 "$installed_map" yes yes "$move32" "$move64"
check_files installed installed
check_command installed 1 "$work/register.expected"
restart
check installed-restarted installed 0 "$installed_map" no no
check_system_layouts installed-restarted installed

# The user changes the options through the copy the installation left.
run_robot "$setup_copy" modify
check modified installed 1 "$modified_map" no yes "$move32" "$move64"
check_files modified modified
# A change of options registers nothing again.
[ "$(wc -l <"$drive/e2e/commands.txt")" = 1 ] || fail "modified: the input-language command ran again"
restart
check modified-restarted installed 1 "$modified_map" no no
check_system_layouts modified-restarted modified

# Removal through the same copy: the running copy waits for the restart.
run_robot "$setup_copy" remove
check removed removed - - yes no "$delete32" "$delete64" "\\??\\$setup_copy -> (delete)" \
  "\\??\\$install_dir -> (delete)" "\\??\\$program_files\\Tundra Type -> (delete)"
[ -z "$(find "$drive/users" -iname 'phr*.tmp')" ] || fail "removed: a settings file was left behind"
check_command removed 2 "$work/unregister.expected"
restart
check removed-restarted gone - - no no
[ ! -e "$(unix "$syswow64")" ] && [ ! -e "$(unix "$system32")" ] ||
  fail "removed-restarted: a layout file is still in the system folders"
echo "e2e: removed-restarted: the layout files are gone from System32 and SysWOW64"
