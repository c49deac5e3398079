# Sourced by the console tests: expect NAME CODE STDERR COMMAND... runs the
# command and compares its exit code and its standard error with the wanted
# ones; a difference prints FAIL and sets fail=1.
fail=0
expect() {
    local name=$1 code=$2 want=$3
    shift 3
    local got rc
    got=$("$@" 2>&1 >/dev/null)
    rc=$?
    if [ "$rc" != "$code" ] || [ "$got" != "$want" ]; then
        echo "FAIL $name: exit $rc, stderr: $got"
        fail=1
    else
        echo "ok   $name"
    fi
}
