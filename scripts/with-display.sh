#!/bin/sh
# Runs a command with an X display: the user's own when DISPLAY is set,
# otherwise a private Xvfb.
set -eu
if [ -n "${DISPLAY:-}" ] && [ -z "${ZANTHEL_XVFB:-}" ]; then
    exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
