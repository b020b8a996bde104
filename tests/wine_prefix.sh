#!/usr/bin/env bash
# Starts (start) or stops (stop) the wine prefix and server that the win32 tests share.
# The prefix is made once per build tree; the server is kept alive for the whole test run so
# that process starts are warm.
set -eu
: "${WINEPREFIX:?}"
export WINEARCH=win32 WINEDEBUG=-all
case "$1" in
start)
  if [ ! -f "$WINEPREFIX/.sxe-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.sxe-ready"
  fi
  # A persistent server, detached from the test runner's output. The first program started
  # brings up wine's services, which live as long as the server: start them here, without the
  # runner's output, or the runner waits for them to close it.
  (setsid wineserver -p </dev/null >/dev/null 2>&1 &)
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1
  ;;
stop)
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  ;;
esac
