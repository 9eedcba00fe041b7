# Helpers for driving a program's windows under the private X server of with-display.sh.

# The first visible window of the process, waiting up to 20 s for it.
window_of() { # pid
  timeout 20 xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -1
}

# Presses Return in the window (its default button), without a window manager to focus it.
press_return() { # window
  xdotool windowfocus --sync "$1" && xdotool key --clearmodifiers Return
}

# Waits up to 10 s for the process to end; its exit status, or 124 after ending it ourselves.
wait_status() { # pid
  local i
  for ((i = 0; i < 100; i++)); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$1" 2>/dev/null; then
    kill "$1"
    wait "$1" 2>/dev/null
    return 124
  fi
  wait "$1"
}
