#!/usr/bin/env bash
# Every object linked into the set-user-ID helper carries the hardening the
# helper itself has; the helper is a PIE with full RELRO, no run path, and
# the stack protector and fortified calls in place.
# Usage: helper-hardening.sh HELPER OBJECT...
set -euo pipefail
helper=$1
shift
status=0
for object in "$@"; do
  # -fcf-protection marks each object; an object without it drops the mark
  # from the whole program.
  if ! readelf -n "$object" | grep -q 'x86 feature: IBT, SHSTK'; then
    echo "not built with -fcf-protection: $object"; status=1
  fi
done
dynamic=$(readelf -d "$helper")
grep -q 'FLAGS_1.*NOW' <<<"$dynamic" || { echo "no BIND_NOW: $helper"; status=1; }
grep -q -E 'RPATH|RUNPATH' <<<"$dynamic" && { echo "has a run path: $helper"; status=1; }
readelf -h "$helper" | grep -q 'DYN' || { echo "not a PIE: $helper"; status=1; }
readelf -l "$helper" | grep -q 'GNU_RELRO' || { echo "no RELRO: $helper"; status=1; }
symbols=$(readelf --dyn-syms -W "$helper")
grep -q '__stack_chk_fail' <<<"$symbols" || { echo "no stack protector: $helper"; status=1; }
grep -q -E '__(s?n?printf|fprintf|memcpy|read)_chk' <<<"$symbols" || { echo "no fortified calls: $helper"; status=1; }
exit $status
