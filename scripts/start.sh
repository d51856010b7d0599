#!/usr/bin/env bash
# Builds the workbench and starts it in the examples folder, so that the
# example site's files are at hand in the file dialogs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh --target orvane orvane-run orvane-ensemble
cd examples
exec ../build/bin/orvane "$@"
