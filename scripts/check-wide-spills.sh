#!/usr/bin/env bash
# Windows keeps the stack 16-byte aligned; a 32- or 64-byte vector moved to or from the stack
# with an aligned move (vmovaps, vmovapd, vmovdqa, vmovdqa32, vmovdqa64 on a ymm or zmm
# register) faults there whenever the slot is not 32/64-aligned, which GCC for mingw has been
# known to assume. Wine does not always show it. This reads the disassembly of each program
# named and fails naming every function and instruction that does it.
# Usage: scripts/check-wide-spills.sh PROGRAM.exe...
#        scripts/check-wide-spills.sh --self-test   (the check catches a crafted object)
set -uo pipefail
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

# Prints "function: address: instruction" for each such move in the file; exits 1 when any, 2
# when the file cannot be disassembled (a check that read nothing must not pass).
check() {
    local listing
    listing=$(mktemp)
    if ! "$objdump" -d -C --no-show-raw-insn "$1" >"$listing" || ! grep -q $'\tret' "$listing"; then
        echo "   cannot disassemble $1"
        rm -f "$listing"
        return 2
    fi
    awk '
        /^[0-9a-f]+ <.*>:$/ { fn = substr($0, index($0, "<") + 1); sub(/>:$/, "", fn); next }
        /\tvmov(aps|apd|dqa|dqa32|dqa64)[ \t]/ && /%[yz]mm[0-9]+/ && /\(%r[sb]p[,)]/ {
            line = $0; sub(/^[ \t]+/, "", line); gsub(/\t/, " ", line)
            print "   " fn ": " line; found++
        }
        END { exit found > 0 }' "$listing"
    local status=$?
    rm -f "$listing"
    return $status
}

if [[ "${1:-}" == "--self-test" ]]; then
    # Two functions that spill a ymm and a zmm register aligned (caught) and one that moves
    # wide vectors aligned elsewhere or unaligned to the stack (fine).
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    cat >"$tmp/spill.s" <<'ASM'
    .text
    .globl SpillsYmm
SpillsYmm:
    vmovaps %ymm1, 0x20(%rsp)
    ret
    .globl ReloadsZmm
ReloadsZmm:
    vmovdqa64 -0x40(%rbp), %zmm3
    ret
    .globl Fine
Fine:
    vmovaps %ymm0, (%rax)
    vmovups %ymm0, 0x20(%rsp)
    vmovaps %xmm0, 0x20(%rsp)
    ret
ASM
    "${AS:-x86_64-w64-mingw32-as}" "$tmp/spill.s" -o "$tmp/spill.o" || exit 1
    found=$(check "$tmp/spill.o")
    if [[ $? -eq 1 && $(grep -c . <<<"$found") -eq 2 && "$found" == *"SpillsYmm: "*"vmovaps %ymm1,0x20(%rsp)"* &&
        "$found" == *"ReloadsZmm: "*"vmovdqa64 -0x40(%rbp),%zmm3"* ]]; then
        echo "   the check catches a crafted spill (ymm to %rsp, zmm from %rbp) and passes the rest"
        exit 0
    fi
    echo "   the check missed the crafted spills or flagged a fine move:"
    echo "$found"
    exit 1
fi

status=0
for program in "$@"; do
    found=$(check "$program")
    result=$?
    if [[ $result -eq 0 ]]; then
        echo "   $(basename "$program"): no aligned 32/64-byte move on the stack"
    elif [[ $result -eq 2 ]]; then
        echo "$found"
        status=1
    else
        echo "   $(basename "$program"): aligned 32/64-byte moves on the stack (they fault on Windows):"
        echo "$found"
        status=1
    fi
done
exit $status
