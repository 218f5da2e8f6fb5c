#!/usr/bin/env bash
# Runs the client on a fresh Debian 12 machine: installs what is missing, builds, starts the
# bundled demo service on 127.0.0.1:18068 (where the shipped Company_Info.ini points), opens
# the client, and stops the demo service when the client exits. Without a display the client
# runs under Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
echo "Building (the first build takes a few minutes)..."
"$root/scripts/build.sh" "$root/build" >/dev/null
bin="$root/build/bin"

service_pid=""
stop_service() {
  if [ -n "$service_pid" ] && kill -0 "$service_pid" 2>/dev/null; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
}
trap stop_service EXIT INT TERM

# Accounts and submissions of the demo service are kept between runs.
mkdir -p "$root/build/demo-data"
"$bin/smsclient-demo-service" --port 18068 --data-dir "$root/build/demo-data" >"$root/build/demo-service.log" 2>&1 &
service_pid=$!
sleep 0.5
if ! kill -0 "$service_pid" 2>/dev/null; then
  echo "The demo service did not start (see build/demo-service.log); is port 18068 taken?" >&2
  service_pid=""
else
  echo "Demo service on http://127.0.0.1:18068/ - log in as demo / demo."
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running the client under Xvfb."
  xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/smsclient" "$@"
else
  "$bin/smsclient" "$@"
fi
