# A private desktop session for tests: an Xvfb display and a PulseAudio server with a null sink.
# Source it, then:  md_session_start  ...  md_session_stop
# Sets DISPLAY, PULSE_SERVER, MD_SINK (the null sink; record from "$MD_SINK.monitor") and MD_SESSION_DIR.
# Both servers are stopped by the PIDs recorded here, never by name.

# Wine programs of one prefix share one wineserver, and its desktop process stays tied to the
# display it first met. Each session therefore begins and ends with that server gone.
md_wine_settle() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && command -v wineserver >/dev/null; then
    timeout 60 wineserver -w 2>/dev/null || true
  fi
}

md_session_start() {
  md_wine_settle
  MD_SESSION_DIR=$(mktemp -d /tmp/md-session.XXXXXX)
  local fd_file="$MD_SESSION_DIR/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fd_file" >"$MD_SESSION_DIR/xvfb.log" 2>&1 &
  MD_XVFB_PID=$!
  local i
  for i in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  [ -s "$fd_file" ] || { echo "session: Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$fd_file")"

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
  for i in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl info >/dev/null 2>&1 || { echo "session: PulseAudio did not start" >&2; cat "$MD_SESSION_DIR/pulse.log" >&2; return 1; }
  export MD_SINK MD_SESSION_DIR MD_XVFB_PID MD_PULSE_PID
}

md_session_stop() {
  local pid
  md_wine_settle
  for pid in ${MD_PULSE_PID:-} ${MD_XVFB_PID:-}; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in ${MD_PULSE_PID:-} ${MD_XVFB_PID:-}; do
    wait "$pid" 2>/dev/null || true
  done
  [ -n "${MD_SESSION_DIR:-}" ] && rm -rf "$MD_SESSION_DIR"
  unset MD_PULSE_PID MD_XVFB_PID MD_SESSION_DIR
}
