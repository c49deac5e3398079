#!/usr/bin/env bash
# The host folder lookup of the Windows build against Wine's registry: the
# test puts the host's open command into the registry and reads it back.
set -u
exe=$1
key='HKLM\SOFTWARE\Classes\ZumtStudio\shell\open\command'
fail=0
check() { # value to store (or "-" for no key), expected output line
    local value=$1 want=$2 got
    if [ "$value" = "-" ]; then
        wine reg delete "$key" /f >/dev/null 2>&1
    else
        wine reg add "$key" /ve /d "$value" /f >/dev/null 2>&1 || { echo "FAIL: reg add"; fail=1; return; }
    fi
    got=$(wine "$exe" 2>/dev/null | tr -d '\r')
    if [ "$got" != "$(printf '%s\n%s' "$want" "$want")" ]; then
        echo "FAIL: value [$value]: got [$got], expected [$want] twice"
        fail=1
    else
        echo "ok   [$value] -> [$want]"
    fi
}
check 'D:\Programme\Host\host.exe %1' 'D:\Programme\Host\'
check '"D:\Programme\Host\host.exe" "%1"' '"D:\Programme\Host\'
check 'D:\Programme\Host\host.exe D:\Anlagen\%1' 'D:\Programme\Host\host.exe D:\Anlagen\'
check 'host.exe %1' 'none'
check "$(printf 'D:\\%0299d' 0)" 'none'
check '-' 'none'
exit $fail
