# Sourced by the scripts that need Debian packages: install_packages NAME PACKAGE... installs
# the packages that are not installed yet (with sudo when not run as root), quietly, and says
# which ones it installs, prefixed with the calling script's NAME.
install_packages() {
  local name=$1 package
  shift
  local missing=()
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  ((${#missing[@]})) || return 0
  echo "$name: installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
