#!/usr/bin/env bash
# Runs the two-monitor tests of the end-to-end program on a display of its own: Xvfb with two
# screens joined by Xinerama, and a Wine prefix of its own whose X11 driver is told not to use
# XRandR, so that Wine sees two monitors. The rest of the tests keep their one-monitor display.
#   two_monitors.sh E2E_EXE [GTEST_FILTER]
set -euo pipefail
exe=$1
filter=${2:-TwoMonitors*:*.TwoMonitors*}
source "$(dirname "$0")/../../scripts/lib.sh"
export FLASHSAVER_WINEPREFIX="$FLASHSAVER_ROOT/build/wineprefix-two-monitors"
export WINEPREFIX="$FLASHSAVER_WINEPREFIX"
# Xvfb puts every screen at the origin: the second is the larger one, so that part of it shows.
start_private_display +xinerama -screen 0 800x600x24 -screen 1 1024x768x24
trap 'wineserver -k 2>/dev/null || true; stop_private_display' EXIT
ensure_wine_prefix
wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w
export FLASHSAVER_EXPECT_MONITORS=2
wine "$exe" --gtest_filter="$filter" </dev/null
