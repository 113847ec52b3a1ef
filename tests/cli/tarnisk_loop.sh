#!/usr/bin/env bash
# Resources from a loop window named on the defaults search path, with the
# independent peer tests/support/loop_peer.py standing in for the window.
set -u
fail=0
check() { # description, condition result
    if [ "$2" -ne 0 ]; then
        echo "FAIL: $1"
        fail=1
    fi
}
work=$(mktemp -d)
peer_pid=
cleanup() {
    [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if ! /usr/bin/python3 -c 'import sysv_ipc' 2>/dev/null; then
    echo "FAIL: the loop peer needs /usr/bin/python3 with sysv_ipc (Debian package python3-sysv-ipc)"
    exit 1
fi
# True when a message queue with the key exists.
queue_exists() {
    /usr/bin/python3 -c 'import sys, sysv_ipc
try:
    sysv_ipc.MessageQueue(int(sys.argv[1]))
except sysv_ipc.ExistentialError:
    sys.exit(1)' "$1"
}

# No window 4242: a warning, then the help page, status 0.
num=4242
while queue_exists "$num"; do num=$((num + 1)); done
"$TARNISK" -df "#$num" -h >"$work/out" 2>"$work/err" </dev/null
check "-df #$num -h status" $?
printf 'ZEQloop window: %s not running or no message queue exists\n' "$num" | cmp -s - "$work/err"
check "missing window warning (got: $(cat "$work/err"))" $?
head -1 "$work/out" | grep -qx "tarnisk: This program contours surface data"
check "help page after the warning" $?

# A window that holds message=warn: the run takes it, so the banner (of kind
# mess) is hidden; the window hears every query, the command-line option and
# "quit".
key=$((0x4D000000 + ($$ % 0x10000) * 0x10))
while queue_exists "$key"; do key=$((key + 1)); done
coproc PEER { exec /usr/bin/python3 "$ZEQ_SOURCE_DIR/tests/support/loop_peer.py" --queue "$key" \
    --answer message=warn --answer variable=temp --log "$work/log" --deadline 20; }
peer_pid=$PEER_PID
read -r -t 10 ready <&"${PEER[0]}"
case "$ready" in ready*) ;; *) echo "FAIL: the loop peer did not start"; exit 1 ;; esac

"$TARNISK" -df "#$key" -ti abc >"$work/out" 2>"$work/err" </dev/null
check "window run status" $?
[ ! -s "$work/out" ]
check "message=warn from the window hides the banner (got: $(cat "$work/out"))" $?
[ ! -s "$work/err" ]
check "window run writes nothing to stderr (got: $(cat "$work/err"))" $?
wait "$peer_pid"
peer_pid=
grep -qx "3query res message" "$work/log"
check "window asked for message" $?
grep -qx "3query res variable" "$work/log"
check "window asked for variable" $?
tail -2 "$work/log" | tr '\n' '|' | grep -qx '3set res title abc|3quit|'
check "command line sent back, then quit (log: $(tail -2 "$work/log" | tr '\n' '|'))" $?
grep -q "BADSIZE\|NOZERO" "$work/log"
[ $? -ne 0 ]
check "every message is 120 bytes with a zero-terminated text" $?
! queue_exists "$key"
check "the window's queue is gone" $?

exit $fail
