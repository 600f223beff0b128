#!/usr/bin/env bash
# Library-scan benchmark; options as bench/run_bench.py --help. Example:
#   bench/run.sh --files 2000 --repeats 3 --dist build/x64/dist
exec /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/run_bench.py" "$@"
