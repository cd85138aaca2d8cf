#!/usr/bin/env bash
# Runs one Windows program under Wine, bounded in time. CTest uses it as the
# emulator of the mingw build; tests/windows/run-wine.sh provides the
# throw-away Wine prefix it runs in.
#   WINEPREFIX          required: the prefix to run in
#   QUILLO_WINE_TIMEOUT seconds before the program is killed (default 240)
#   QUILLO_WINE_LOCALE  the locale Wine takes its ANSI code page and system
#                       texts from (default en_US.UTF-8); Wine reads the name
#                       only, the locale need not be installed (see below)
#   QUILLO_WINE_LOGPIXELS the system's density in dots per inch for this
#                       program (HKCU\Control Panel\Desktop, LogPixels), put
#                       back to 96 when it ends; the test that sets it runs
#                       alone (RUN_SERIAL), as the prefix has one for all,
#                       and in a Wine session of its own (see below)
set -euo pipefail

if [[ -z "${WINEPREFIX:-}" || ! -d "${WINEPREFIX}" ]]; then
  echo "wine-exec.sh: WINEPREFIX is not set to a booted prefix;" \
       "run tests/windows/run-wine.sh" >&2
  exit 2
fi
wine=${QUILLO_WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
locale=${QUILLO_WINE_LOCALE:-en_US.UTF-8}
# Wine reads the command line (and writes to a terminal) in the Unix locale's
# character set, which is ASCII for a locale that is not installed: a Japanese
# argument would lose its high bits before the program starts. C.UTF-8's data
# under the locale's name gives Wine UTF-8, and the name still picks the
# Windows locale.
locales="$WINEPREFIX/unix-locales"
if [[ -d /usr/lib/locale/C.utf8 && ! -e "$locales/$locale" ]]; then
  mkdir -p "$locales"
  ln -s /usr/lib/locale/C.utf8 "$locales/$locale" 2>/dev/null || true
fi
run=(env LC_ALL="$locale" LANG="$locale" LOCPATH="$locales"
     timeout --kill-after=10 "${QUILLO_WINE_TIMEOUT:-240}" "$wine")
dpi=${QUILLO_WINE_LOGPIXELS:-}
[[ -n "$dpi" ]] || exec "${run[@]}" "$@"
[[ "$dpi" =~ ^[0-9]+$ ]] || { echo "wine-exec.sh: LogPixels $dpi is not a number" >&2; exit 2; }
desktop='HKCU\Control Panel\Desktop'
# Wine 10 gives the monitors the density the session started with (as a
# user's desktop does after signing in again): the session ends after the
# density is set and again after the program, so that the program starts
# at this density and the later ones at 96 dpi, in a lasting session as
# run-wine.sh had started it.
# The new session's own processes are started by a command of its own:
# started by the test's program they would hold its output open after it.
wineserver=${QUILLO_WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
new_session() {
  timeout 30 "$wineserver" -k 2>/dev/null || true
  timeout 60 "$wineserver" -w 2>/dev/null || true
  "$wineserver" -p >/dev/null 2>&1
  "${run[@]}" reg query "$desktop" /v LogPixels >/dev/null 2>&1 || true
}
"${run[@]}" reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
new_session
trap '"${run[@]}" reg add "$desktop" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null
      new_session' EXIT
"${run[@]}" "$@"
