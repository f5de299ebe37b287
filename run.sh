#!/usr/bin/env bash
# Builds the tool and the reader simulator (not the tests) and starts the tool.
#   ./run.sh                 demo: a simulated reader on a free loopback port, the
#                            tool in demo/ set up to connect to it over TCP/IP
#   ./run.sh --reader [DIR]  the tool alone, working in DIR (default: the current
#                            directory), for a real reader
set -euo pipefail
start=$(pwd)
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
source scripts/setup.sh
# Only the two programs started below; test.sh builds the tests in the same folder
# with the same options, so neither run configures again.
zanto_setup build --target zanto-setup --target zanto-reader-sim -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTO_WERROR=ON

tool="$here/build/src/zanto-setup"
sim="$here/build/tools/zanto-reader-sim/zanto-reader-sim"

if [ "${1:-}" = "--reader" ]; then
  dir=${2:-$start}
  cd "$dir"
  exec "$tool"
fi

# Demo: the simulator listens on 127.0.0.1 only, on a port the system picks.
mkdir -p "$here/demo"
cd "$here/demo"
portfile=$(mktemp)
"$sim" --tcp 0 --quiet --port-file "$portfile" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; rm -f "$portfile"' EXIT
for _ in $(seq 100); do [ -s "$portfile" ] && break; sleep 0.05; done
port=$(cat "$portfile")
[ -n "$port" ] || { echo "The reader simulator did not start" >&2; exit 1; }
# settings1.ini: link choice, IP address, baud rate, TCP port (CR LF lines).
printf 'TCP/IP\r\n127.0.0.1\r\n9600\r\n%s\r\n' "$port" > settings1.ini
echo "Simulated reader on 127.0.0.1 port $port; press Connect in the tool."
"$tool"
