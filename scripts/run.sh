#!/usr/bin/env bash
# Runs the client on a fresh Debian 12 machine: installs what is missing, builds, and
# starts the client. Without a display it runs under Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
bin="$root/build/bin"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/smsclient" "$@"
fi
exec "$bin/smsclient" "$@"
