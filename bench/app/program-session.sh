# Sourced by the whole-program benchmarks: a private session (screen, sound server, prefix) with
# the end-to-end tests' helpers, over BUILD_ROOT/win (default build/). Sets here, win and S.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win=$(cd "${1:-$here/build}" && pwd)/win
source "$here/scripts/lib/env.sh"
source "$here/scripts/lib/session.sh"
export WINEPREFIX=$MD_WINEPREFIX MD_BIN=$win MD_SRC=$here
md_session_start || exit 1
source "$here/tests/e2e/program/lib.sh"
S=$MD_SESSION_DIR
