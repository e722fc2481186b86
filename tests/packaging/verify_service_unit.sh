#!/usr/bin/env bash
# The user service unit, filled for this build's server, passes systemd's
# own check without a word (an unknown key is only a warning there).
#   verify_service_unit.sh SERVER_PROGRAM
set -euo pipefail
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is missing"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$(cd "$(dirname "$0")/../.." && pwd)"
"$root/packaging/fill-service-unit" "$1" "$work/home" "$work/media" >"$work/velmorvr-server.service"
mkdir -p "$work/runtime"
chmod 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify "$work/velmorvr-server.service" \
  >"$work/said" 2>&1 || { cat "$work/said"; exit 1; }
if [[ -s "$work/said" ]]; then cat "$work/said"; exit 1; fi
grep -q "^ExecStart=$1 --home $work/home --pc-folder $work/media\$" "$work/velmorvr-server.service"
grep -q "^SuccessExitStatus=1\$" "$work/velmorvr-server.service"
grep -q '^ExecReload=/bin/kill -HUP \$MAINPID$' "$work/velmorvr-server.service"
echo "the service unit verifies"
