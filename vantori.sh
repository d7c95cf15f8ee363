#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine.
#
#   ./vantori.sh run    install what is missing, build, start the reference servers with demo
#                       members and open the client logged in (under xvfb-run with a screenshot
#                       when there is no display)
#   ./vantori.sh test   install what is missing, build, run every test
#   ./vantori.sh build  install what is missing and build only
#
# Environment: BUILD_DIR (default ./build), VANTORI_WERROR=ON to turn warnings into errors,
# JOBS (default: the number of cores).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
JOBS=${JOBS:-$(nproc)}

PACKAGES=(
  cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  libssl-dev libsqlite3-dev libpugixml-dev nlohmann-json3-dev libcli11-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev qt6-multimedia-dev qt6-webengine-dev
  fonts-nanum fontconfig xvfb xauth
)

log() { printf '==> %s\n' "$*" >&2; }

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    log "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y --no-install-recommends "${missing[@]}"
  else
    echo "These Debian packages are missing. Install them as root with:" >&2
    echo "  apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
}

install_fonts() {
  # Lets "굴림" resolve to an installed Korean font (NanumGothic) for every program.
  local confs=("$ROOT"/data/fontconfig/*.conf)
  [ -f "${confs[0]}" ] || return 0
  local dir="${XDG_CONFIG_HOME:-$HOME/.config}/fontconfig/conf.d"
  [ "$(id -u)" -eq 0 ] && dir=/etc/fonts/conf.d
  mkdir -p "$dir"
  local changed=0 c
  for c in "${confs[@]}"; do
    cmp -s "$c" "$dir/$(basename "$c")" || { cp -f "$c" "$dir/"; changed=1; }
  done
  [ $changed -eq 1 ] && command -v fc-cache >/dev/null && fc-cache -f >/dev/null 2>&1 || true
}

build() {
  log "configuring in $BUILD_DIR"
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTORI_WERROR="${VANTORI_WERROR:-OFF}" >/dev/null
  log "building"
  cmake --build "$BUILD_DIR" -j "$JOBS"
}

run_tests() {
  log "running the tests"
  export QT_QPA_PLATFORM=offscreen
  # WebEngine refuses to start as root without this.
  [ "$(id -u)" -eq 0 ] && export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" --timeout 600
}

free_base_port() {
  # A BasePort whose whole range (BasePort .. BasePort+10) is free.
  local base
  for base in $(seq 17128 100 27128); do
    local busy=0
    for off in 0 3 4 5 6 10; do
      if (exec 3<>"/dev/tcp/127.0.0.1/$((base + off))") 2>/dev/null; then busy=1; break; fi
    done
    [ $busy -eq 0 ] && { echo "$base"; return; }
  done
  echo 7128
}

run_demo() {
  local bin="$BUILD_DIR/bin"
  local vtwire="$bin/vtwire"
  [ -x "$vtwire" ] || vtwire=$(find "$BUILD_DIR" -name vtwire -type f -perm -u+x | head -n 1)
  if [ -n "$vtwire" ]; then
    log "round trip of a message through vtwire (encode, then decode):"
    echo '{"params":[{"name":"T","type":"int","value":1198},{"name":"User","type":"String","value":"abc"}]}' |
      "$vtwire" encode | tee >(od -An -tx1 >&2) | "$vtwire" decode
  fi
  local server="$bin/vantori-server" launcher="$bin/vantori-launcher" client="$bin/vantori"
  local p
  for p in "$server" "$launcher" "$client"; do
    [ -x "$p" ] || { echo "missing $p: the build did not finish" >&2; exit 1; }
  done
  local data="${VANTORI_DEMO_DATA:-$ROOT/.demo-data}"
  local port web
  port=$(free_base_port)
  web=$((port + 80))
  (exec 3<>"/dev/tcp/127.0.0.1/$web") 2>/dev/null && web=0  # busy: no web site this time
  mkdir -p "$data/server"
  # The client's settings, log and sockets stay beside the demo data.
  export VANTORI_HOME="${VANTORI_HOME:-$data/home}"
  log "starting the reference server on BasePort $port (web site port $web, data in $data/server)"
  "$server" --data "$data/server" --base-port "$port" --web-port "$web" --demo &
  # Global, so that the exit trap still sees it after this function has returned.
  VANTORI_SERVER_PID=$!
  trap 'kill "$VANTORI_SERVER_PID" 2>/dev/null || true' EXIT
  local i
  for i in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
  # WebEngine refuses to start as root without this.
  [ "$(id -u)" -eq 0 ] && export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}"
  # The client holds this lock while it runs; waiting for it waits for the client.
  export VANTORI_CLIENT_LOCK="$VANTORI_HOME/run/mutexKXS2Client.lock"
  local login=("$launcher" --user demo --password demo1234 --host 127.0.0.1 --base-port "$port")
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    log "starting the client as the demo member (close its window to end)"
    "${login[@]}" || { echo "the client did not start" >&2; exit 1; }
    flock "$VANTORI_CLIENT_LOCK" true
  else
    local shot="${VANTORI_SCREENSHOT:-$data/main-window.png}"
    rm -f "$shot"
    log "no display: running the client under xvfb-run for a screenshot of the main window"
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '"$@" && flock -w 120 "$VANTORI_CLIENT_LOCK" true' _ \
      "${login[@]}" -- --screenshot "$shot" || { echo "the client did not start" >&2; exit 1; }
    [ -s "$shot" ] || { echo "no screenshot was saved" >&2; exit 1; }
    echo "screenshot of the main window: $shot"
  fi
}

cmd=${1:-}
case "$cmd" in
  run) install_missing; install_fonts; build; run_demo ;;
  test) install_missing; install_fonts; build; run_tests ;;
  build) install_missing; install_fonts; build ;;
  *) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
