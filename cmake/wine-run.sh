#!/usr/bin/env bash
# Runs a Windows executable under Wine with the build folder's own prefix.
# WINEPREFIX may be set by the caller; otherwise the prefix sits beside the
# executable's build folder (the top of the build tree holds wineprefix/).
#
# The program's output goes through a file: helper processes that Wine starts
# on demand (rpcss and the like) inherit the program's descriptors and outlive
# it, and on a pipe they would keep CTest waiting for the end of the output.
set -u
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
output=$(mktemp)
wine "$@" > "$output" 2>&1 < /dev/null
status=$?
cat "$output"
rm -f "$output"
exit $status
