# Shared start of the end-to-end scripts, sourced first: `check` records a
# failed condition, `$work` is a temporary directory removed at exit (after
# `on_exit`, when the script defines one), and a script ends with `exit $fail`.
# A failure text that runs a command ("$(...)") resets $? before `check`
# reads it: such a check takes the status first (st=$?; check "..." $st).
set -u
fail=0
check() { # description, condition result
    if [ "$2" -ne 0 ]; then
        echo "FAIL: $1"
        fail=1
    fi
}
work=$(mktemp -d)
_common_cleanup() {
    if declare -F on_exit >/dev/null; then on_exit; fi
    rm -rf "$work"
}
trap _common_cleanup EXIT
