#!/bin/sh
# with-openbox.sh COMMAND...: runs COMMAND with openbox managing the display's windows, as on a
# desktop (maximising and restoring are the window manager's).
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
i=0
until wmctrl -m >/dev/null 2>&1; do
  i=$((i + 1))
  if [ $i -gt 400 ]; then echo "openbox did not come up" >&2; exit 1; fi
  sleep 0.05
done
"$@"
rc=$?
kill $wm
exit $rc
