#!/usr/bin/env bash
# Builds the program and runs it on a demo home (default ./home-demo, or $1).
#
# When the home has no store configured (no VendixManagerURL, or only the
# placeholder), a store simulator with a few hundred demo orders is started
# on a free loopback port and the home is pointed at it; its state is kept in
# the home, so the next run continues the same demo store. A home configured
# for a real store is run as it is, without a simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
py=/usr/bin/python3

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target ordersentinel storesim

home=${1:-./home-demo}
mkdir -p "$home/data/html"
home=$(cd "$home" && pwd)
# A new demo home gets a store domain for the status bar and the suggested
# spoof-prevention expression; an existing installation file is left alone.
[ -f "$home/ordersentinel.ini" ] || printf '[Installation]\nStoreDomain=demo-shop.test\n' > "$home/ordersentinel.ini"
ini="$home/data/zr.ini"
state="$home/demo-store.json"
urlfile="$home/demo-store.url"
placeholder="https://www.yourdomain.com/"

# zr.ini: keys and sections without case, CR LF or LF kept as found.
ini_get() {
  "$py" - "$ini" <<'EOF'
import re, sys
try:
    text = open(sys.argv[1], encoding="latin-1").read()
except FileNotFoundError:
    sys.exit(0)
section = None
for line in text.splitlines():
    s = line.strip()
    m = re.match(r"\[(.*)\]$", s)
    if m:
        section = m.group(1).strip().lower()
    elif section == "mainc" and "=" in s and s.split("=", 1)[0].strip().lower() == "vendixmanagerurl":
        print(s.split("=", 1)[1].strip())
        break
EOF
}

ini_set() {
  "$py" - "$ini" "$1" <<'EOF'
import re, sys
path, url = sys.argv[1], sys.argv[2]
try:
    text = open(path, encoding="latin-1", newline="").read()
except FileNotFoundError:
    text = ""
eol = "\r\n" if "\r\n" in text else "\n"
lines = text.splitlines()
out, section, done, in_main = [], None, False, False
for line in lines:
    s = line.strip()
    m = re.match(r"\[(.*)\]$", s)
    if m:
        if in_main and not done:
            out.append("VendixManagerURL=" + url)
            done = True
        section = m.group(1).strip().lower()
        in_main = section == "mainc"
    elif in_main and "=" in s and s.split("=", 1)[0].strip().lower() == "vendixmanagerurl":
        if not done:
            out.append("VendixManagerURL=" + url)
            done = True
        continue
    out.append(line)
if not done:
    if in_main:
        out.append("VendixManagerURL=" + url)
    else:
        out += ["[MAINC]", "VendixManagerURL=" + url]
open(path + ".tmp", "w", encoding="latin-1", newline="").write(eol.join(out) + eol)
import os
os.replace(path + ".tmp", path)
EOF
}

configured=$(ini_get)
recorded=$(cat "$urlfile" 2>/dev/null || true)
program="$root/build/src/ordersentinel"

# A home pointed at a real store, or at anything other than our own demo store
# from an earlier run, is left alone.
if [ -n "$configured" ] && [ "$configured" != "$placeholder" ] && [ "$configured" != "$recorded" ]; then
  exec "$program" --home "$home"
fi

# Our demo store: start (or restart) the simulator, preferring the port of
# the last run so the home's address stays the same.
port=0
if [ -n "$recorded" ]; then
  port=$(printf '%s\n' "$recorded" | sed -n 's|^http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p')
  port=${port:-0}
fi
log="$home/demo-store.log"
start_sim() {
  "$root/build/tools/storesim/storesim" --port "$1" --bind 127.0.0.1 --state "$state" \
    --seed demo --print-port >"$log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 1 100); do
    grep -q '^READY' "$log" 2>/dev/null && return 0
    kill -0 "$sim_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  kill "$sim_pid" 2>/dev/null || true
  return 1
}
sim_pid=""
if ! start_sim "$port"; then
  [ "$port" != 0 ] && start_sim 0 || { echo "The store simulator did not start:"; cat "$log"; exit 1; }
fi
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
port=$(sed -n 's/^PORT //p' "$log" | head -n1)
url="http://127.0.0.1:$port/cgi-bin/ordersentinel.cgi"
ini_set "$url"
printf '%s\n' "$url" >"$urlfile"
password=$("$py" -c 'import json,sys; print(json.load(open(sys.argv[1]))["password"])' "$state")

# A new demo home publishes its configuration to the demo store once, as a
# merchant does when setting up, so "Preview Changes" starts from a publish.
if [ ! -f "$home/data/last_publish.cfg" ]; then
  printf '%s\n' "$password" | "$program" --home "$home" \
    --session "Publish Options & Configurations" >>"$home/demo-publish.log" 2>&1 ||
    echo "(The first publish to the demo store failed; see $home/demo-publish.log.)"
fi

echo "Demo store:          $url"
echo "Demo store password: $password"
echo "(Open \"Online\", type the password and pick an action.)"
"$program" --home "$home"
