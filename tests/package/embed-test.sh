#!/usr/bin/env bash
# Installs the built library into a scratch prefix, builds examples/embed against the installed
# package twice, as a separate CMake project and with pkg-config alone, and runs both against a
# loopback server whose first message makes a display and a shell (later requests get empty
# messages); then runs one against a host that cannot be resolved, which must fail.
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

# The installed package is the stripped library and its headers: tens of megabytes, not the
# hundreds the build's objects with their debug information take. A shared library carries its
# versioned name.
installed_mb=$(du -sm "$scratch/prefix" | cut -f1)
echo "installed size: ${installed_mb} MB"
if [ "$installed_mb" -gt 80 ]; then
    echo "failed: the installed package takes ${installed_mb} MB"
    exit 1
fi
library=$(find "$scratch/prefix" -name 'libmorvix.so.*.*' -type f | head -1)
if [ -n "$library" ]; then
    soname=$(objdump -p "$library" | awk '/SONAME/ { print $2 }')
    echo "installed library: $(basename "$library"), soname $soname"
    case "$soname" in
    libmorvix.so.[0-9]*) ;;
    *) echo "failed: the shared library has no versioned soname"; exit 1 ;;
    esac
    if objdump -h "$library" | grep -q '\.debug_info'; then
        echo "failed: the installed library keeps its debug information"
        exit 1
    fi
fi
step cmake -S "$source_dir/examples/embed" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$scratch/prefix"
step cmake --build "$scratch/build"

# The pkg-config file names every library the archive needs, and the prefix it was installed to.
export PKG_CONFIG_PATH="$scratch/prefix/lib/pkgconfig:$scratch/prefix/lib/x86_64-linux-gnu/pkgconfig"
step c++ -std=c++20 -o "$scratch/embed-pc" "$source_dir/examples/embed/main.cpp" $(pkg-config --cflags --libs morvix)
# A prefix outside the loader's path: the program finds the shared library as a user would tell it.
export LD_LIBRARY_PATH="$(pkg-config --variable=libdir morvix)${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

python3 - "$scratch/port" > "$scratch/server.log" 2>&1 <<'PY' &
import http.server, sys
class Handler(http.server.BaseHTTPRequestHandler):
    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        body = b'{"head":{},"operations":[]}'
        if self.command == "GET":
            body = (b'{"head":{"requestCounter":1},"operations":[["create","w1","zub.widgets.Display",{}],'
                    b'["create","w2","zub.widgets.Shell",{"parent":"w1"}]]}')
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
for program in "$scratch/build/embed" "$scratch/embed-pc"; do
    output=$(timeout 60 "$program" "http://127.0.0.1:$port/app")
    echo "$output"
    grep -q "first message applied" <<< "$output"
    grep -q "w2 zub.widgets.Shell in w1" <<< "$output"
done

# A server that cannot be reached is an error, not an applied message.
if output=$(timeout 60 "$scratch/build/embed" "http://no-such-host.invalid/app" 2>&1); then
    echo "$output"
    echo "failed: embed succeeded without a server"
    exit 1
fi
echo "$output"
if grep -q "first message applied" <<< "$output"; then
    echo "failed: embed reported an applied message without a server"
    exit 1
fi
