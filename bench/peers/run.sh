#!/bin/sh
# Rerun the peer benchmark: bench/peers/run.sh [--runs N] [--viewers a,b] [--images x,y] [--no-djpeg]
# A private D-Bus session for the GTK viewers; it ends with the run.
exec dbus-run-session -- python3 "$(dirname "$0")/peerbench.py" "$@"
