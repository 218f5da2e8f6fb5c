#!/usr/bin/env bash
# Runs the client on a fresh Debian 12 machine: installs what is missing, builds, starts the
# bundled demo service on 127.0.0.1:18068 (where the shipped Company_Info.ini points), opens
# the client, and stops the demo service when the client exits. Without a display the client
# runs on a virtual one (Xvfb).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
echo "Building (the first build takes a few minutes)..."
"$root/scripts/build.sh" "$root/build" >/dev/null
bin="$root/build/bin"

service_pid="" xvfb_pid="" client_pid=""
stop_all() {
  for pid in "$client_pid" "$service_pid" "$xvfb_pid"; do
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# Accounts and submissions of the demo service are kept between runs.
mkdir -p "$root/build/demo-data"
"$bin/smsclient-demo-service" --port 18068 --data-dir "$root/build/demo-data" \
  >"$root/build/demo-service.log" 2>&1 &
service_pid=$!
sleep 0.5
if kill -0 "$service_pid" 2>/dev/null; then
  echo "Demo service on http://127.0.0.1:18068/ - log in as demo / demo."
else
  echo "The demo service did not start (see build/demo-service.log); is port 18068 taken?" >&2
  service_pid=""
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: the client runs on a virtual display (Xvfb) and is not visible."
  display_file="$(mktemp)"
  Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp 4>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
fi

"$bin/smsclient" "$@" &
client_pid=$!
wait "$client_pid" || true
