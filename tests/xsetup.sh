# Sourced by the real-window tests before their driver runs (the driver itself sources xdriver.sh).

# require_tools TOOL...: skips the test when one of them is not installed.
require_tools() {
  local tool
  for tool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# drive DRIVER ARGS...: runs DRIVER with ARGS on a virtual screen of its own; it sources
# $XDRIVER, and leaves a screenshot at $SHOT when a step fails.
drive() {
  chmod +x "$1"
  XDRIVER="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/xdriver.sh" SHOT="${SHOT:-}" \
    xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}
