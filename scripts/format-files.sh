#!/usr/bin/env bash
# Lists the product's C and C++ files, the ones kept in .clang-format's style
# (resources and generated tables are left as their tools write them).
cd "$(dirname "$0")/.." && git ls-files -- \
    'app/*.cpp' 'app/*.h' 'store/*.cpp' 'store/*.h' 'settings/*.cpp' 'settings/*.h' \
    'ui/*.cpp' 'ui/*.h' 'win/*.cpp' 'win/*.h' 'hotkeys/*.cpp' 'hotkeys/*.h' 'speech/*.cpp' 'speech/*.h'
