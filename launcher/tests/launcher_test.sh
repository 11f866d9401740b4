#!/bin/bash
# Checks how the launcher starts the windowing shell, using a stand-in
# `wish` that records its arguments, working directory and environment.
# Usage: launcher_test.sh LAUNCHER
set -u
launcher=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/launcher-test.XXXXXX")
trap 'touch "$work/release"; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/bin" "$work/folder with space" "$work/empty"
# The stand-in holds back until the launcher has returned (release file):
# a launcher that waited for its child would never return.
cat > "$work/bin/wish" <<STUB
#!/bin/sh
for i in \$(seq 300); do [ -e "$work/release" ] && break; sleep 0.1; done
{ printf '%s\n' "\$#" "\$@"; pwd -P; printf '%s\n' "\${LAUNCHER_TEST_MARKER-unset}"; } > "$work/record.part"
mv "$work/record.part" "$work/record"
STUB
chmod +x "$work/bin/wish"

wait_for_record() {
    for _ in $(seq 300); do
        [ -e "$work/record" ] && return 0
        sleep 0.1
    done
    return 1
}

# 1. Started with extra arguments, from a folder: the shell gets exactly
#    "wish main.tcl", runs in that folder and inherits the environment.
cd "$work/folder with space"
LAUNCHER_TEST_MARKER=inherited PATH="$work/bin:$PATH" \
    timeout 60 "$launcher" --extra "second argument" >"$work/out" 2>"$work/err"
status=$?
touch "$work/release"
[ "$status" -eq 0 ] || fail "launcher exited with $status (124 means it waited for the shell)"
[ -s "$work/out" ] && fail "launcher wrote on stdout: $(cat "$work/out")"
[ -s "$work/err" ] && fail "launcher wrote on stderr: $(cat "$work/err")"
if wait_for_record; then
    expected=$(printf '%s\n' 1 main.tcl "$(pwd -P)" inherited)
    [ "$(cat "$work/record")" = "$expected" ] ||
        fail "shell started as: $(tr '\n' '|' < "$work/record"), expected: $(echo "$expected" | tr '\n' '|')"
else
    fail "the stand-in wish was never started"
fi

# 2. No shell anywhere on the search path: exit 0, silent.
rm -f "$work/record" "$work/release"
cd "$work/empty"
PATH="$work/empty" "$launcher" more args >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || fail "without a shell the launcher exited with $status"
[ -s "$work/out" ] && fail "without a shell the launcher wrote on stdout: $(cat "$work/out")"
[ -s "$work/err" ] && fail "without a shell the launcher wrote on stderr: $(cat "$work/err")"

if [ "$failures" -eq 0 ]; then
    echo "launcher: all checks passed"
    exit 0
fi
exit 1
