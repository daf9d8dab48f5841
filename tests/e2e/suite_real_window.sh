# Under Wine with a real (virtual) display: the warning is a real window
# titled "Tidemark"; it waits until closed, Enter closes it, and Tidemark
# then exits with 0.

E2E_CASE="the warning is a real window that Enter closes"
if on_wine && command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  program=$(new_client window)
  Xvfb -displayfd 9 -screen 0 1024x768x24 9>"$E2E_ROOT/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 50); do [ -s "$E2E_ROOT/display" ] && break; sleep 0.1; done
  display=":$(cat "$E2E_ROOT/display")"
  (
    TIDEMARK_WINE_DISPLAY=$display "$E2E_RUNNER" "$program" >/dev/null 2>&1
    echo $? >"$E2E_ROOT/window.exit"
  ) &
  runner=$!
  window=""
  for _ in $(seq 1 120); do
    window=$(DISPLAY=$display xdotool search --name '^Tidemark$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.25
  done
  if [ -n "$window" ]; then pass; else fail "no window titled Tidemark appeared"; fi
  sleep 1
  if [ -e "$E2E_ROOT/window.exit" ]; then fail "Tidemark ended before the box was closed"; else pass; fi
  [ -n "$window" ] && DISPLAY=$display xdotool key --window "$window" Return 2>/dev/null
  for _ in $(seq 1 80); do [ -e "$E2E_ROOT/window.exit" ] && break; sleep 0.25; done
  expect_eq "$(cat "$E2E_ROOT/window.exit" 2>/dev/null)" 0 "exit code after Enter"
  kill "$runner" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
elif on_wine; then
  skip "no Xvfb or xdotool"
fi
