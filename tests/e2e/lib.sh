# Shared by the end-to-end scripts: a private session, checks, and wine runs.
set -u
MD_SRC=${MD_SRC:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
source "$MD_SRC/scripts/lib/env.sh"
source "$MD_SRC/scripts/lib/session.sh"
export WINEPREFIX=${WINEPREFIX:-$MD_WINEPREFIX}

e2e_failures=0
check() { # description command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; e2e_failures=$((e2e_failures + 1)); fi
}
e2e_finish() { [ "$e2e_failures" -eq 0 ]; }

# Runs COMMAND until it succeeds, for at most SECONDS: what a test waits for, instead of a sleep.
e2e_poll() { # seconds command...
  local end=$(($(date +%s) + $1)); shift
  until "$@"; do
    [ "$(date +%s)" -lt $end ] || return 1
    sleep 0.2
  done
}

# PIDs of the processes whose command line matches PATTERN and that run in this session's prefix.
e2e_session_pids() { # pattern
  local pid
  for pid in $(pgrep -f "$1"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

# The box a probe saw, as "caption<TAB>text"; fails when no box appeared within the timeout.
e2e_wait_box() { # [timeout-ms]
  wine "$MD_PROBE" wait-box "${1:-15000}" | tr -d '\r' | sed -n 's/^box\t//p'
}
