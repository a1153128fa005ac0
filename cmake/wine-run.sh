#!/usr/bin/env bash
# Runs a Windows executable under Wine with the build folder's own prefix.
# WINEPREFIX may be set by the caller; otherwise the prefix sits beside the
# executable's build folder (the top of the build tree holds wineprefix/).
set -e
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
