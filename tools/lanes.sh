# Which Windows lanes this machine can run, for the tools to source.
#
# The release is a 32-bit Windows program, tested under Wine's 32-bit loader
# (the `win32` lane). Some kernels are built without 32-bit x86 support; there
# every 32-bit program, that loader included, fails with "Exec format error".
# The same sources built for 64-bit Windows (the `win64` lane) run under Wine's
# 64-bit loader on every machine.
#
# TIDEMARK_NO_32BIT=1 makes the tools act as on a kernel without 32-bit
# support (for testing the choice itself); the program never reads it.

# Whether this kernel runs 32-bit x86 programs: runs a 32-bit Linux program of
# 96 bytes (ELF header, one program header, and exit(42) through int 0x80),
# written here so that no 32-bit toolchain or library is needed to find out.
tidemark_kernel_runs_32bit() {
  [ "${TIDEMARK_NO_32BIT:-0}" = 1 ] && return 1
  local probe status=0
  probe=$(mktemp "${TMPDIR:-/tmp}/tidemark-probe32.XXXXXX")
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' \
    '\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00' \
    '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

# One line saying why the win32 lane cannot run here, or nothing when it can.
tidemark_no_32bit_reason() {
  if [ "${TIDEMARK_NO_32BIT:-0}" = 1 ]; then
    echo "TIDEMARK_NO_32BIT=1: acting as on a kernel that runs no 32-bit programs"
  elif ! tidemark_kernel_runs_32bit; then
    echo "this kernel runs no 32-bit programs"
  fi
}

# The lane that runs the Windows program here: win32 where it can, else win64.
tidemark_windows_lane() {
  if tidemark_kernel_runs_32bit; then echo win32; else echo win64; fi
}

# The plan for the Windows lanes, one line each: "LANE run" or
# "LANE skip REASON". win64 always runs; win32 where 32-bit programs run.
tidemark_lane_plan() {
  local reason
  reason=$(tidemark_no_32bit_reason)
  if [ -z "$reason" ]; then echo "win32 run"; else echo "win32 skip $reason"; fi
  echo "win64 run"
}
