# shellcheck shell=bash
# Wine helpers for running the Windows build's programs. Sourced by scripts/test.
#
# vk605_wine_setup PREFIX_DIR: exports a private WINEPREFIX (64-bit only), silences Wine's debug output
# and disables the Mono and Gecko installers, whose prompts would otherwise stop an unattended run.

vk605_wine_setup() {
  export WINEPREFIX=$1
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY
}

# vk605_wine_boot [SECONDS]: creates the prefix once (about 20 s), reuses it afterwards.
vk605_wine_boot() {
  local limit=${1:-300}
  if [[ -f "$WINEPREFIX/system.reg" ]]; then
    echo "wine: reusing prefix $WINEPREFIX"
    return 0
  fi
  mkdir -p "$WINEPREFIX"
  echo "wine: creating prefix $WINEPREFIX"
  timeout "$limit" wine wineboot -i
  # wineboot returns before the prefix is written out; the server writes it when it exits.
  timeout "$limit" wineserver -w
  [[ -f "$WINEPREFIX/system.reg" ]] || { echo "wine: prefix was not created" >&2; return 1; }
}

# vk605_wine_stop: ends the wine server of this prefix (started by our own wine calls).
vk605_wine_stop() {
  if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]] && command -v wineserver >/dev/null 2>&1; then
    wineserver -k >/dev/null 2>&1 || true
  fi
}

# vk605_wine_map_port COMn PATH: maps the COM port to a device path (HKLM\Software\Wine\Ports, read by
# Wine's mount manager when Wine starts) and makes the dosdevices link at once, for a Wine already running.
vk605_wine_map_port() {
  local port=$1 path=$2 lower
  lower=$(printf '%s' "$port" | tr '[:upper:]' '[:lower:]')
  wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$path" /f >/dev/null 2>&1
  ln -sfn "$path" "$WINEPREFIX/dosdevices/$lower"
}

# vk605_wine_clone BASE_PREFIX DIR: a private copy of a booted prefix for one stage or shard, so stages
# running side by side neither share a wine server nor see each other's COM ports and named mutexes.
# The system DLLs (about 680 MB of the 700) are hard links to the base prefix's, which Wine only reads;
# every other file is a copy of its own, so a registry or settings file written in place stays private.
# Ten full copies filled a CI disk once.
vk605_wine_clone() {
  local base=$1 dir=$2 windows
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  cp -a --link "$base" "$dir"
  windows="$dir/drive_c/windows"
  find "$dir" -type f -links +1 ! -path "$windows/system32/*" ! -path "$windows/syswow64/*" \
    ! -path "$windows/winsxs/*" -exec sh -c 'for f; do cp -p "$f" "$f.own" && mv -f "$f.own" "$f"; done' sh {} +
  vk605_wine_setup "$dir"
}

# vk605_wine_test_list PROGRAM: the program's test names (Suite.Name), one per line.
vk605_wine_test_list() {
  timeout 300 wine "$1" --gtest_list_tests | tr -d '\r' | awk '
    /^[^ ]/ { suite = $1; next }
    /^  [^ ]/ { print suite $1 }'
}

# vk605_wine_queue_pop QUEUE: prints the queue's first line and removes it; false when it is empty.
# Several shards take their next test from one queue, so a shard that drew short tests takes more.
vk605_wine_queue_pop() {
  local queue=$1 first
  {
    flock 8
    first=$(head -n 1 "$queue")
    [[ -n "$first" ]] || return 1
    sed -i 1d "$queue"
    printf '%s\n' "$first"
  } 8>"$queue.lock"
}
