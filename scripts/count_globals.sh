#!/bin/bash
# Lists the program's namespace-scope mutable data, static data members
# included: every object in a writable section (.data, .data.rel, .bss and
# their thread-local kin, but not .data.rel.ro) of the program's libraries,
# without function-local statics ("f(...)::x"), guards, vtables and typeinfo.
# One line per object; count them with wc -l. Only the libraries the build
# makes now are read, not archives an older layout left in the tree.
#
#   scripts/count_globals.sh build | wc -l
set -euo pipefail
build=${1:-build}
for lib in "$build"/libkestrune_{show,platform,outputs}.a; do objdump -t -C "$lib"; done 2>/dev/null \
  | awk '/ O / { for (i = 1; i <= NF; ++i) if ($i ~ /^\.(t?bss|t?data)/) {
                   name = ""; for (j = i + 2; j <= NF; ++j) name = name (j > i + 2 ? " " : "") $j
                   print $i "\t" name } }' \
  | grep -v -P '^\.data\.rel\.ro' | cut -f2 | sed 's/(anonymous namespace):://g' \
  | grep -v -E '^(guard variable|vtable|typeinfo|construction vtable|VTT)' \
  | grep -v -E '\)( const)?::' | grep -v -E '^(_|\.)' | sort -u
