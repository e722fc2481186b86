# Shared by the scripts: the repository root and installing what is missing.

VELMOR_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# ensure_packages CHECK:PACKAGE ... installs PACKAGE with apt-get when CHECK
# (a command name, or a path that must exist) is missing.
ensure_packages() {
  local missing=() pair check package
  for pair in "$@"; do
    check="${pair%%:*}"
    package="${pair#*:}"
    if [[ "$check" == /* ]]; then
      [[ -e "$check" ]] && continue
    else
      command -v "$check" >/dev/null 2>&1 && continue
    fi
    missing+=("$package")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

ensure_native_tools() {
  ensure_packages cmake:cmake g++:g++ make:make /usr/src/googletest/CMakeLists.txt:googletest \
    ffmpeg:ffmpeg ffprobe:ffmpeg curl:curl \
    /usr/include/X11/extensions/XInput2.h:libxi-dev Xvfb:xvfb xdotool:xdotool \
    systemd-analyze:systemd
}

ensure_windows_tools() {
  ensure_packages x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64 wine:wine \
    /usr/lib/wine/wine64:wine64 xvfb-run:xvfb xauth:xauth \
    /usr/lib/x86_64-linux-gnu/gstreamer-1.0/libgstlibav.so:gstreamer1.0-libav \
    python3:python3
}

build_jobs() { nproc 2>/dev/null || echo 2; }
