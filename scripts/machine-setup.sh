# Machine set-up shared by the test command and the demo: installs the Debian
# packages a script lists in `packages` when they are missing, and generates the
# Hungarian locale Wine needs for code page 1250. Sourced, not run.

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo -n "$@"; fi
}

install_missing() {
  local missing=()
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} = 0 ] && return 0
  echo "== installing ${missing[*]}"
  # 32-bit packages (wine32:i386, for the 32-bit program) need the i386
  # architecture in dpkg before the package lists are read.
  if [[ " ${missing[*]}" == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 || return 1
  fi
  # A mirror in the middle of a sync fails some index files: try again a
  # little later, and then install from the lists that did arrive, which may
  # still hold every package wanted.
  local attempt
  for attempt in 1 2 3; do
    as_root apt-get update -qq && break
    echo "== apt-get update failed in part (attempt $attempt)"
    [ "$attempt" = 3 ] || sleep 30
  done
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
}

# Wine gives programs the ANSI code page of the Unix locale: 1250 (ő, ű) needs
# the Hungarian locale.
generate_locale() {
  locale -a 2>/dev/null | grep -qix 'hu_HU\.utf-\?8' && return 0
  echo "== generating hu_HU.UTF-8"
  if ! grep -q '^hu_HU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'hu_HU.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  fi
  as_root locale-gen hu_HU.UTF-8 >/dev/null
}
