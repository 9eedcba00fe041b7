#!/usr/bin/env bash
# Shows what the build in $1 has to offer.
set -euo pipefail
build=$1
echo "Built into $build/velmora:"
ls -1 "$build/velmora"
