# Driving the disk from a script: sourced by scripts/screenshots and scripts/soak, which run under their own
# Xvfb (scripts/with-xvfb). The program runs full screen at 1024x768 (the dialog's first choice), so a panel
# unit is 2 pixels across and 1.5 down.

# Starts build/tunemill in folder $1 (which gets a copy of the disk) with SDL's audio driver $2, accepts the
# setup dialog and returns once the driver has started. Sets TUNEMILL_PID and TUNEMILL_WINDOW.
start_disk() {
  local dir=$1 build=${TUNEMILL_BINARY_DIR:-$root/build}
  cp "$build/tunemill.dat" "$dir/"
  (cd "$dir" && exec env SDL_AUDIODRIVER="$2" SDL_DISKAUDIOFILE=audio.raw "$build/tunemill" >stdout.txt 2>&1) &
  TUNEMILL_PID=$!
  local dialog="" i
  for i in $(seq 600); do
    dialog=$(xwininfo -root -children | awk '/"Tunemill - setup"/ {print $1}')
    [ -n "$dialog" ] && break
    sleep 0.1
  done
  [ -n "$dialog" ] || { echo "no setup dialog" >&2; return 1; }
  sleep 1  # mapped is not yet reading
  xdotool windowfocus --sync "$dialog" key Return
  for i in $(seq 600); do
    # Setting the pixel format re-creates the native window; the first one may linger for a moment.
    if grep -q "HARDWARE EXTENSIONS" "$dir/program.log" 2>/dev/null &&
      [ "$(xwininfo -root -children | grep -c '"Tunemill": ')" = 1 ]; then
      TUNEMILL_WINDOW=$(xwininfo -root -children | awk '/"Tunemill": / {print $1}')
      xdotool windowfocus --sync "$TUNEMILL_WINDOW"
      return 0
    fi
    sleep 0.1
  done
  echo "the driver did not start" >&2
  return 1
}

# The program reads the button and key state once per frame, so a press is held for a few frames. (No
# --sync: xdotool would wait for a motion or focus change that does not come when there is none to make.)
click_panel() {
  xdotool mousemove $(($1 * 2)) $(($2 * 3 / 2)) sleep 0.05 mousedown 1 sleep 0.15 mouseup 1
}

press_key() {
  xdotool windowfocus "$TUNEMILL_WINDOW" keydown "$1" sleep 0.15 keyup "$1"
}

# Waits for the program to end; sets TUNEMILL_EXIT to its exit code.
wait_disk() {
  TUNEMILL_EXIT=0
  wait "$TUNEMILL_PID" || TUNEMILL_EXIT=$?
}
