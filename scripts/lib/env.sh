# Shared paths and Wine settings for the project's scripts.
MD_CACHE=${MD_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/musicdisk}
MD_MINGW_PREFIX="$MD_CACHE/mingw"
# A prefix of one's own (copied from these) keeps parallel runs off each other's wineserver.
MD_WINEPREFIX=${MD_WINEPREFIX:-$MD_CACHE/wine}
MD_WINEPREFIX_98=${MD_WINEPREFIX_98:-$MD_CACHE/wine98}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
# Ahead of any other python3 in PATH: a version manager's shim has neither PIL nor numpy, and
# costs a tenth of a second a call, which the tests' polls pay many times over.
MD_PYTHON_DIR="$MD_CACHE/python"
case ":$PATH:" in *":$MD_PYTHON_DIR:"*) ;; *) export PATH="$MD_PYTHON_DIR:$PATH" ;; esac
export MD_CACHE MD_MINGW_PREFIX MD_WINEPREFIX MD_WINEPREFIX_98
