#!/usr/bin/env bash
# Runs a Windows program under Wine in Velmora's own Wine prefix (not ~/.wine), without Wine's
# debug chatter, and passes its exit status on. Used by CMake as the emulator of the Windows
# build, so the tests start the programs they test through it too.
set -euo pipefail
cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora
export WINEPREFIX=${VELMORA_WINEPREFIX:-$cache/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs .NET or a browser engine.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
