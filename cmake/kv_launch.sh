#!/bin/sh
# Starts a test program, through the launcher named in KV_TEST_LAUNCHER when it is set
# (scripts/test sets it to qemu-i386 for the emulated pass on a machine that runs 32-bit
# programs natively), else directly.
# shellcheck disable=SC2086
exec ${KV_TEST_LAUNCHER:-} "$@"
