# Sourced by the shell tests: check GOT EXPECTED WHAT prints "ok" or "FAIL"
# and counts the failures, which the test's exit status reports.
failures=0
check() {
    if [ "$1" = "$2" ]; then
        echo "ok   $3"
    else
        echo "FAIL $3: got '$1', expected '$2'"
        failures=$((failures + 1))
    fi
}
