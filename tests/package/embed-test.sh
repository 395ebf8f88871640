#!/usr/bin/env bash
# Installs the built library into a scratch prefix, builds examples/embed against the installed
# package as a separate CMake project, and runs it against a loopback server that answers every
# request with an empty message.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# Runs a step quietly; prints what it said when it fails.
step() {
    if ! "$@" > "$scratch/step.log" 2>&1; then
        cat "$scratch/step.log"
        echo "failed: $*"
        exit 1
    fi
}
step cmake --install "$build_dir" --prefix "$scratch/prefix"
step cmake -S "$source_dir/examples/embed" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$scratch/prefix"
step cmake --build "$scratch/build"

# The pkg-config file names every library the archive needs.
PKG_CONFIG_PATH="$scratch/prefix/lib/pkgconfig:$scratch/prefix/lib/x86_64-linux-gnu/pkgconfig" \
    pkg-config --libs morvix | grep -q -- "-lmorvix"

python3 - "$scratch/port" > "$scratch/server.log" 2>&1 <<'PY' &
import http.server, sys
class Handler(http.server.BaseHTTPRequestHandler):
    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        body = b'{"head":{},"operations":[]}'
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    do_GET = answer
    do_POST = answer
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
open(sys.argv[1] + ".tmp", "w").write(str(server.server_address[1]))
import os
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
server.serve_forever()
PY
server_pid=$!
for _ in $(seq 100); do
    [ -f "$scratch/port" ] && break
    sleep 0.1
done
port=$(cat "$scratch/port")
output=$(timeout 60 "$scratch/build/embed" "http://127.0.0.1:$port/app")
echo "$output"
grep -q "first message applied" <<< "$output"
