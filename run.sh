#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window. Arguments go to
# varnak-panel, e.g. ./run.sh --port 1=/dev/ttyUSB0
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
exec build/panel/varnak-panel "$@"
