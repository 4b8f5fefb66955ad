#!/bin/sh
# Stops the test prefix's wineserver and every Wine process in it, so the
# suite leaves nothing running.
WINEPREFIX=$1 wineserver -k 2>/dev/null
WINEPREFIX=$1 wineserver -w 2>/dev/null
exit 0
