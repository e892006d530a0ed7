# A private desktop session for tests: an Xvfb display and a PulseAudio server with a null sink.
# Source it, then:  md_session_start  ...  md_session_stop
# Sets DISPLAY, PULSE_SERVER, MD_SINK (the null sink; record from "$MD_SINK.monitor") and MD_SESSION_DIR.
# With WINEPREFIX set, the session also runs in a prefix of its own (see md_prefix_start), so that
# sessions may run side by side. Servers are stopped by the PIDs recorded here, never by name.

# What two sessions may share of a prefix: the system folders, which Wine only reads once made.
# The rest (registry, user folders, small files written in place) is copied.
md_prefix_copy() { # from to
  local from=$1 to=$2 big=drive_c/windows
  mkdir -p "$to/$big"
  tar -C "$from" --exclude="./$big/system32" --exclude="./$big/syswow64" --exclude="./$big/winsxs" -cf - . \
    | tar -C "$to" -xf - || return 1
  cp -al "$from/$big/system32" "$from/$big/syswow64" "$from/$big/winsxs" "$to/$big/"
}

# The socket a wineserver of PREFIX listens on once it is up (under a folder the prefix names, or
# a fixed one for older Wine).
md_wineserver_socket() { # prefix
  local dir=".wine-$(id -u)"
  [ -f "$1/wineserver" ] && dir=$(cat "$1/wineserver")
  printf '/tmp/%s/server-%x-%x/socket' "$dir" "0x$(stat -c %D "$1")" "$(stat -c %i "$1")"
}

# A wineserver that stays up until md_prefix_stop: no wine program then waits for one to start or
# meets one on its way out, and its desktop stays tied to this session's display.
# Sourced again by a script's helpers while its session runs, this keeps what the session started.
declare -p MD_WINESERVER_PIDS >/dev/null 2>&1 || MD_WINESERVER_PIDS=() MD_WINESERVER_PREFIXES=()
# A boot that hangs (a crash in it waits on the debugger for ever) is begun again once, on a new
# server.
md_prefix_start() { # prefix
  local socket try
  socket=$(md_wineserver_socket "$1")
  for try in 1 2; do
    WINEPREFIX=$1 wineserver -f -p >/dev/null 2>&1 &
    MD_WINESERVER_PIDS+=("$!") MD_WINESERVER_PREFIXES+=("$1")
    for _ in $(seq 200); do [ -S "$socket" ] && break; sleep 0.05; done
    [ -S "$socket" ] || { echo "session: wineserver did not start" >&2; return 1; }
    # The prefix's services and desktop live as long as the server: started here, they hold no
    # test's output open (a test runner would wait for it to close).
    WINEPREFIX=$1 timeout 90 wine cmd /c exit </dev/null >/dev/null 2>&1 && return 0
    echo "session: wine did not boot on $1 within 90 s (try $try)" >&2
    WINEPREFIX=$1 timeout 30 wineserver -k 2>/dev/null
    wait "${MD_WINESERVER_PIDS[-1]}" 2>/dev/null
    unset 'MD_WINESERVER_PIDS[-1]' 'MD_WINESERVER_PREFIXES[-1]'
  done
  return 1
}

# Ends the session's wine programs (desktops and services too) with the servers it started.
md_prefix_stop() {
  local i
  for i in "${!MD_WINESERVER_PIDS[@]}"; do
    kill -0 "${MD_WINESERVER_PIDS[i]}" 2>/dev/null \
      && WINEPREFIX=${MD_WINESERVER_PREFIXES[i]} timeout 30 wineserver -k 2>/dev/null
    wait "${MD_WINESERVER_PIDS[i]}" 2>/dev/null
  done
  MD_WINESERVER_PIDS=() MD_WINESERVER_PREFIXES=()
}

# A session that cannot start leaves nothing running.
md_session_start() { md_session_open || { md_session_stop; return 1; }; }

md_session_open() {
  MD_SESSION_DIR=$(mktemp -d /tmp/md-session.XXXXXX)
  local fd_file="$MD_SESSION_DIR/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fd_file" >"$MD_SESSION_DIR/xvfb.log" 2>&1 &
  MD_XVFB_PID=$!

  mkdir -p "$MD_SESSION_DIR/pulse"
  MD_SINK=mdnull
  cat >"$MD_SESSION_DIR/pulse/default.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$MD_SESSION_DIR/pulse/native
load-module module-null-sink sink_name=$MD_SINK rate=44100 channels=2
set-default-sink $MD_SINK
set-default-source $MD_SINK.monitor
PA
  XDG_RUNTIME_DIR="$MD_SESSION_DIR/pulse" HOME="$MD_SESSION_DIR/pulse" \
    pulseaudio -n -F "$MD_SESSION_DIR/pulse/default.pa" --daemonize=no --exit-idle-time=-1 \
      --use-pid-file=no --system=no --disallow-exit \
      >"$MD_SESSION_DIR/pulse.log" 2>&1 &
  MD_PULSE_PID=$!
  export PULSE_SERVER="unix:$MD_SESSION_DIR/pulse/native"
  # Wine's sound clients ask the server for 15 to 20 ms of buffer, and a stall that long is common
  # on a busy two-core machine: each was a dropout. Every client here is asked for 60 ms.
  export PULSE_LATENCY_MSEC=60
  export MD_SINK MD_SESSION_DIR MD_XVFB_PID MD_PULSE_PID

  # The prefix is made while both servers start.
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && [ -z "${MD_SHARED_PREFIX:-}" ]; then
    md_prefix_copy "$WINEPREFIX" "$MD_SESSION_DIR/prefix" || { echo "session: cannot copy $WINEPREFIX" >&2; return 1; }
    export WINEPREFIX="$MD_SESSION_DIR/prefix"
  fi

  local i
  for i in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.05; done
  [ -s "$fd_file" ] || { echo "session: Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$fd_file")"
  for i in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
  pactl info >/dev/null 2>&1 || { echo "session: PulseAudio did not start" >&2; cat "$MD_SESSION_DIR/pulse.log" >&2; return 1; }
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then md_prefix_start "$WINEPREFIX" || return 1; fi
}

md_session_stop() {
  local pid
  md_prefix_stop
  for pid in ${MD_PULSE_PID:-} ${MD_XVFB_PID:-}; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in ${MD_PULSE_PID:-} ${MD_XVFB_PID:-}; do
    wait "$pid" 2>/dev/null || true
  done
  [ -n "${MD_SESSION_DIR:-}" ] && rm -rf "$MD_SESSION_DIR"
  unset MD_PULSE_PID MD_XVFB_PID MD_SESSION_DIR
}
