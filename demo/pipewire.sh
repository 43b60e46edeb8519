# A private PipeWire daemon for the demo, as the tests start one
# (tests/pipewire/pipewire_daemon.cpp): pipewire and wireplumber under a D-Bus
# session of their own, with runtime, state and configuration directories in
# a fresh folder, so that they neither see nor disturb a desktop's sound server
# and nothing of them outlives the demo. Source this file, then:
#
#   pipewire_missing          prints the programs that are not installed
#   pipewire_start <folder>   starts the daemon, exports what reaches it;
#                             fails when it and its session manager do not
#                             answer within 10 s
#   pipewire_stop             stops every process it started
#
# The daemon runs in a session of its own (setsid), so that stopping it stops
# dbus-daemon with it. Clients are the caller's to stop.

pipewire_session=""
# wireplumber gives up at once when pipewire is not listening yet: it starts
# once pipewire's socket is there.
pipewire_daemons='pipewire & until [ -S "$PIPEWIRE_RUNTIME_DIR/pipewire-0" ]; do sleep 0.05; done; wireplumber & wait'

pipewire_missing() {
  local program missing=()
  for program in pipewire wireplumber dbus-run-session pw-cli pw-cat pw-loopback setsid; do
    command -v "$program" >/dev/null || missing+=("$program")
  done
  echo "${missing[*]}"
}

pipewire_start() {
  local folder=$1 attempt
  mkdir -p "$folder/runtime" "$folder/state" "$folder/config"
  chmod 700 "$folder/runtime"
  export XDG_RUNTIME_DIR="$folder/runtime" PIPEWIRE_RUNTIME_DIR="$folder/runtime" PIPEWIRE_REMOTE=pipewire-0
  XDG_STATE_HOME="$folder/state" XDG_CONFIG_HOME="$folder/config" \
    setsid dbus-run-session -- sh -c "$pipewire_daemons" >"$folder/daemon.log" 2>&1 </dev/null &
  pipewire_session=$!
  for ((attempt = 0; attempt < 100; attempt++)); do
    # The session manager's metadata shows that it, too, is up and links nodes.
    timeout 2 pw-cli ls Metadata 2>/dev/null | grep -q 'metadata.name = "default"' && return 0
    sleep 0.1
  done
  return 1
}

pipewire_stop() {
  [ -n "$pipewire_session" ] || return 0
  kill -TERM -- "-$pipewire_session" 2>/dev/null || true
  local attempt
  for ((attempt = 0; attempt < 30; attempt++)); do
    kill -0 -- "-$pipewire_session" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL -- "-$pipewire_session" 2>/dev/null || true
  wait "$pipewire_session" 2>/dev/null || true
  pipewire_session=""
}
