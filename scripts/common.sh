# Sourced by the scripts: clean-up at exit and a display for Windows programs.

CLEANUP=()
run_cleanup() {
  local i
  for ((i = ${#CLEANUP[@]} - 1; i >= 0; i--)); do eval "${CLEANUP[i]}" || true; done
}
trap run_cleanup EXIT

# Without a display, starts a virtual one for the rest of the script. Scripts
# run side by side may pick the same free number: the server that loses the
# race exits, and the next number is tried.
ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n=90 pid
  while [ "$n" -lt 400 ]; do
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    # Ours when its lock names our server and the socket is there.
    local owner=""
    for _ in $(seq 100); do
      owner=$({ tr -d ' \n' <"/tmp/.X$n-lock"; } 2>/dev/null || true)
      [ "$owner" = "$pid" ] && [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ "$owner" = "$pid" ] && kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      CLEANUP+=("kill $pid 2>/dev/null")
      export DISPLAY=":$n"
      return 0
    fi
    kill "$pid" 2>/dev/null || true
    n=$((n + 1))
  done
  echo "no virtual display could be started" >&2
  return 1
}

# Keeps one Wine server running for a prefix while the script runs, so that
# each program started in it does not pay for a server of its own.
keep_wineserver() {
  local prefix=$1
  "$(dirname "${BASH_SOURCE[0]}")/wine-prefix" "$prefix"
  WINEPREFIX=$prefix wineserver -p
  CLEANUP+=("WINEPREFIX='$prefix' wineserver -k 2>/dev/null")
  # Start Wine's own services now, detached from our output: started by a test,
  # they would hold the test runner's pipe open for as long as they live.
  WINEPREFIX=$prefix WINEDEBUG=-all /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
}
