# Sourced: installing Debian packages the way every command of the project
# does (quietly, with sudo when not root, the package lists read first).

qx_sudo() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# qx_apt_install PACKAGE...: installs the packages named (none: nothing).
qx_apt_install() {
  [ $# -gt 0 ] || return 0
  echo "== installing: $*"
  qx_sudo apt-get update -qq
  qx_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
