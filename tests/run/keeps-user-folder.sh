#!/usr/bin/env bash
# ./run twice in a row with the binaries of this build: a setting changed in
# the first run is still there in the second; --fresh starts from nothing.
#
#   keeps-user-folder.sh RUN_SCRIPT BROKER_SIM LUMORA_SERVERLIST
set -euo pipefail
run=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A build folder holding this build's simulator and server-list writer.
mkdir -p "$tmp/build/tools/broker-sim" "$tmp/build/tools/serverlist"
ln -s "$2" "$tmp/build/tools/broker-sim/broker-sim"
ln -s "$3" "$tmp/build/tools/serverlist/lumora-serverlist"

# Stands in for the client: "set" changes the idle-lock setting as the
# settings page stores it, "show" tells what the user folder holds.
cat > "$tmp/client" <<'CLIENT'
#!/usr/bin/env bash
set -euo pipefail
defaults="$LUMORA_HOME/UserDefaults.plist"
if [[ "$1" == set ]]; then
    cat > "$defaults" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>lock_screen_time</key>
	<integer>14</integer>
</dict>
</plist>
PLIST
fi
{
    echo "home $LUMORA_HOME"
    if grep -q '<integer>14</integer>' "$defaults" 2>/dev/null; then echo "lock 14"; else echo "lock default"; fi
    [[ -s "$LUMORA_HOME/Config/ca.crt" ]] && echo "ca yes"
    grep -q "本地模拟券商" "$LUMORA_HOME/Config/ServerInfo.plist" && echo "servers yes"
} > "$OBSERVED"
CLIENT
chmod +x "$tmp/client"

failures=0
start() { # what the client should see, then ./run's arguments
    local want=$1
    shift
    OBSERVED="$tmp/observed" LUMORA_RUN_BUILD="$tmp/build" LUMORA_RUN_NO_BUILD=1 \
        LUMORA_RUN_CLIENT="$tmp/client $CLIENT_MODE" "$run" "$@" > "$tmp/run.out" 2>&1 \
        || { echo "./run $* failed:"; cat "$tmp/run.out"; exit 1; }
    local seen
    seen=$(tr '\n' ' ' < "$tmp/observed")
    if [[ "$seen" != "$want" ]]; then
        echo "./run $* with the client in mode $CLIENT_MODE: saw '$seen', expected '$want'"
        cat "$tmp/run.out"
        failures=$((failures + 1))
    fi
}

home=$(realpath -m "$tmp/build/run-home")
CLIENT_MODE=show start "home $home lock default ca yes servers yes "
CLIENT_MODE=set start "home $home lock 14 ca yes servers yes "
# The second run finds the setting the first one changed...
CLIENT_MODE=show start "home $home lock 14 ca yes servers yes "
# ... and --fresh (or LUMORA_RUN_FRESH=1) starts from an empty folder.
CLIENT_MODE=show start "home $home lock default ca yes servers yes " --fresh
CLIENT_MODE=set start "home $home lock 14 ca yes servers yes "
LUMORA_RUN_FRESH=1 CLIENT_MODE=show start "home $home lock default ca yes servers yes "

# Closing the client stopped every simulator it started.
if pgrep -f "$tmp/build/tools/broker-sim" > /dev/null; then
    echo "a simulator outlived its run"
    failures=$((failures + 1))
fi
exit $((failures > 0))
