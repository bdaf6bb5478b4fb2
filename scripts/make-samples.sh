#!/usr/bin/env bash
# Sample release files for a first download against the simulator.
exec python3 "$(dirname "${BASH_SOURCE[0]}")/make-samples.py" "$@"
