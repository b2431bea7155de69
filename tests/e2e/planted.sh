#!/usr/bin/env bash
# The setup program started from a folder that someone filled with look-alikes
# of libraries and programs Windows programs commonly load or start by name,
# with more of them in its working folder. Each look-alike is a marker: loaded
# or started, it leaves a note in the markers folder.
#
# Usage: planted.sh CASE BUILD_DIR SETUP FALLBACK_SETUP UNGUARDED_SETUP
# Cases:
#   guarded    the program walks through each robot mode in ROBOT_MODES; no
#              marker may fire
#   fallback   the same with the test build that takes the path of systems
#              without the search-restriction call (preloading)
#   unguarded  the test build without protection: a marker must fire, so the
#              fixture can see the real program's loads
#   naive      a careless loader loads every planted name: every marker fires
#   local      a "<program>.local" folder holding the common controls beside
#              the program: it must end without a window and load nothing
#
# Each case has a Wine prefix of its own (copied from a template made once),
# so the installations never touch the tests' shared prefix.
set -euo pipefail
case_name=$1
bin=$(cd "$2" && pwd)
setup=$3
fallback=$4
unguarded=$5
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/common.sh"

# What each guarded case runs the robot with, in order; every mode must end
# with code 0: a full installation, a change of options and the removal.
ROBOT_MODES=${ROBOT_MODES:-install modify remove}

# Libraries Windows would take from the program's folder when asked for by
# name (so Wine is told to prefer a copy found there, as Windows would), and
# the libraries the import check allows (Windows never takes them from the
# program's folder, so Wine keeps its own, but copies lie there all the same).
unprotected="version uxtheme dwmapi cryptbase userenv propsys apphelp setupapi oleacc riched20
shfolder comctl32 shlwapi"
# Wine's own advapi32 and shell32 import these two, and Wine resolves the
# imports of its system libraries through the program's folder while the
# program itself is being loaded, before its first instruction. Windows takes
# the imports of its known libraries from the system folder, so these stay
# Wine's own in the program's runs (copies still lie there); the careless
# loader's case shows their markers work.
wine_static="version shlwapi"
overridden=""
for name in $unprotected; do
  case " $wine_static " in *" $name "*) ;; *) overridden="$overridden,$name" ;; esac
done
protected=$(sed -n 's/^allowed="//p; /^[a-z0-9. ]*"$/p' "$root/scripts/check-imports" |
            tr -d '"' | sed 's/\.dll//g')
[ -n "$protected" ] || { echo "FAIL: no library list in scripts/check-imports"; exit 1; }

wine=/usr/lib/wine/wine64
work=$bin/planted/$case_name
template=$bin/planted/template
rm -rf "$work"
mkdir -p "$work/app" "$work/cwd" "$work/markers" "$work/elsewhere"

# A fresh prefix from a template made once (the first case to get there makes it).
"$root/scripts/wine-prefix" "$template"
(flock 9; cp -a "$template" "$work/wineprefix") 9>"$template.lock"
# A display of its own: the wizards walked here would otherwise take the focus
# from the window tests that run meanwhile on the shared one.
unset DISPLAY
ensure_display
keep_wineserver "$work/wineprefix"

windows_path() { echo "Z:${1//\//\\}"; }
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all
export MARKER_DIR
MARKER_DIR=$(windows_path "$work/markers")
if [ "$case_name" = naive ]; then overridden=$(echo $unprotected | tr ' ' ','); fi
export WINEDLLOVERRIDES="mscoree,mshtml=;${overridden#,}=n,b"

for folder in app cwd; do
  for name in $unprotected $protected; do
    cp "$bin/marker.dll" "$work/$folder/$name.dll"
  done
  cp "$bin/marker.exe" "$work/$folder/control.exe"
done

fired() { ls "$work/markers"; }
fail() {
  echo "FAIL: $*"
  for f in "$work"/markers/*; do [ -e "$f" ] && echo "  $(basename "$f"): $(tr -d '\r' <"$f")"; done
  exit 1
}

# Runs the robot on a program copied into the planted folder, from the
# working folder; prints its output and returns its exit code.
robot() {
  local program=$1
  shift
  (cd "$work/cwd" && timeout 240 "$wine" "$bin/robot.exe" "$(windows_path "$program")" "$@" \
     </dev/null 2>&1 | tr -d '\r')
}

walk_all_modes() {
  cp "$1" "$work/app/setup64.exe"
  local mode
  for mode in $ROBOT_MODES; do
    if ! robot "$work/app/setup64.exe" "$mode"; then
      fail "robot $mode did not get through with the planted folder"
    fi
    [ -z "$(fired)" ] || fail "a planted marker fired during robot $mode"
    echo "robot $mode: no planted library or program was loaded"
  done
}

case $case_name in
  guarded) walk_all_modes "$setup" ;;
  fallback) walk_all_modes "$fallback" ;;
  unguarded)
    cp "$unguarded" "$work/app/setup64.exe"
    robot "$work/app/setup64.exe" walk || true
    [ -n "$(fired)" ] || fail "the unprotected program loaded no marker: the fixture sees nothing"
    echo "the unprotected program loaded: $(fired | tr '\n' ' ')"
    ;;
  naive)
    cp "$bin/naive_loader.exe" "$work/app/"
    cp "$bin/naive_loader.exe" "$work/elsewhere/"
    names=""
    for name in $unprotected; do names="$names $name.dll"; done
    (cd "$work/cwd" && "$wine" "$work/app/naive_loader.exe" $names control.exe </dev/null | tr -d '\r')
    for name in $unprotected; do
      grep -qi '\\app\\' "$work/markers/$name.dll.fired" 2>/dev/null ||
        fail "$name.dll beside a careless loader did not fire"
    done
    grep -qi '\\app\\' "$work/markers/control.exe.fired" 2>/dev/null ||
      fail "control.exe beside a careless loader did not fire"
    # Started by bare name from another folder: the working folder's copy.
    rm -f "$work/markers/control.exe.fired"
    (cd "$work/cwd" && "$wine" "$work/elsewhere/naive_loader.exe" control.exe </dev/null)
    grep -qi '\\cwd\\' "$work/markers/control.exe.fired" 2>/dev/null ||
      fail "control.exe in the working folder of a careless loader did not fire"
    echo "every planted marker fires for a careless loader"
    ;;
  local)
    # Beside the program, and in a subfolder named as each common-controls
    # assembly in the prefix's side-by-side store is, which is where Windows
    # looks for a manifest-bound assembly when such a folder exists.
    dotlocal=$work/app/setup64.exe.local
    mkdir -p "$dotlocal"
    cp "$bin/marker.dll" "$dotlocal/comctl32.dll"
    for assembly in "$WINEPREFIX"/drive_c/windows/winsxs/*common-controls*; do
      [ -d "$assembly" ] || continue
      mkdir -p "$dotlocal/$(basename "$assembly")"
      cp "$bin/marker.dll" "$dotlocal/$(basename "$assembly")/comctl32.dll"
    done
    cp "$setup" "$work/app/setup64.exe"
    output=$(robot "$work/app/setup64.exe" || true)
    echo "$output"
    case $output in *"no wizard window appeared"*) ;; *) fail "the program opened its wizard" ;; esac
    [ -z "$(fired)" ] || fail "a marker in the .local folder was loaded"
    echo "with a .local folder beside it the program ends at once and loads nothing"
    # What Wine itself makes of the folder, for the record: the unprotected
    # build opens its wizard either way; a marker from inside the folder
    # shows Wine honours it.
    cp "$unguarded" "$work/app/setup64.exe"
    robot "$work/app/setup64.exe" >/dev/null || true
    if cat "$work"/markers/* 2>/dev/null | grep -qi '\.local\'; then
      echo "note: Wine loads the common controls from the .local folder"
    else
      echo "note: Wine does not load the common controls from the .local folder"
    fi
    ;;
  *) echo "FAIL: unknown case $case_name"; exit 1 ;;
esac
echo "PASS"
