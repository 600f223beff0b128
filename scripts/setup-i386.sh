#!/usr/bin/env bash
# Sets up running 32-bit Windows programs on this x86_64 kernel, which runs no
# 32-bit code natively: Debian 13's qemu-i386 (user-mode emulation) registered
# with binfmt_misc, and Debian 12's 32-bit Wine unpacked into a private root
# under the build tree. The system's dpkg architectures, package state and
# sources stay exactly as they were; only Debian 12's main archive is read, never
# the security archive, whose i386 index can lag its amd64 one. Idempotent.
# Exits 0 when ready, 3 when this machine cannot do it (one line on stderr that
# names the step and what failed).
#   setup-i386.sh [--lists-only]   (--lists-only: read the root's package lists, nothing else)
set -euo pipefail
here="$(dirname "${BASH_SOURCE[0]}")"
source "$here/env.sh"

# Debian 12's qemu-user is far too slow for Wine; this one was tested.
QEMU_VERSION="1:10.0.13+ds-0+deb13u1"
QEMU_SUITE="trixie"
I386_MAGIC="7f454c4601010100000000000000000002000300"
# Every package of the root with its version, so that every machine and every
# day unpacks the same Wine.
LOCK="$here/i386-root.lock"

cannot() { echo "setup-i386: $*" >&2; exit 3; }

lists_only=0
[ "${1:-}" = --lists-only ] && lists_only=1
[ "$(id -u)" -eq 0 ] || cannot "needs root (binfmt_misc)"

# Apt over a state of its own in $1: its own sources, lists, cache and an empty
# dpkg status, so that nothing of the system's apt or dpkg is read or changed.
private_apt() {  # dir arch command...
  local dir=$1 arch=$2; shift 2
  apt-get -q -o "Dir::Etc::SourceList=$dir/etc/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o "Dir::State=$dir/state" -o "Dir::State::Lists=$dir/lists" -o "Dir::State::status=$dir/state/status" \
    -o "Dir::Cache=$dir/cache" -o "APT::Architecture=$arch" -o "APT::Architectures::=$arch" \
    -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts=/dev/null \
    -o APT::Install-Recommends=false -o APT::Install-Suggests=false \
    -o APT::Sandbox::User=root -o Debug::NoLocking=true "$@"
}
private_apt_dir() {  # dir suites...  (makes the state and its sources list)
  local dir=$1 suite; shift
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/etc" "$dir/state"
  : > "$dir/state/status"
  : > "$dir/etc/sources.list"
  for suite in "$@"; do
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] ${mirror%/} $suite main" >> "$dir/etc/sources.list"
  done
}
# The line of apt's output that says what went wrong: a failed fetch names the
# file and the cause ("File has unexpected size ... Mirror sync in progress?").
apt_error() {
  { grep -m1 '^E: Failed to fetch' <<<"$1" || grep -m1 -E '^(E|W|Err):' <<<"$1" || echo "apt said nothing"; } | tr -s ' \t' ' '
}

mirror=""
find_mirror() {
  [ -n "$mirror" ] && return 0
  # The archive apt already uses (a local mirror or proxy keeps working).
  mirror=$("$here/apt-mirror.sh" 2>&1) || cannot "finding the Debian mirror: $mirror"
}

# The root's package lists: Debian 12's main archive alone.
adir="$TANDREL_BUILD/i386apt"
read_root_lists() {
  find_mirror
  private_apt_dir "$adir" bookworm bookworm-updates
  out=$(private_apt "$adir" i386 update --error-on=any 2>&1) ||
    cannot "reading the i386 package lists (bookworm, bookworm-updates) from $mirror: $(apt_error "$out")"
}
if [ $lists_only = 1 ]; then read_root_lists; exit 0; fi

# 1. Is some emulator already registered for i386 ELF? Then leave it alone.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || cannot "mounting binfmt_misc at $binfmt failed"
fi
registered=""
for entry in "$binfmt"/*; do
  case "$(basename "$entry")" in register|status) continue ;; esac
  if grep -q "^magic $I386_MAGIC" "$entry" 2>/dev/null && grep -q '^enabled' "$entry"; then registered="$entry"; fi
done

if [ -z "$registered" ]; then
  # 2. Fetch only qemu-i386 from Debian 13 with a private apt state.
  qdir="$TANDREL_BUILD/qemu"
  qemu="$qdir/usr/bin/qemu-i386"
  if [ ! -x "$qemu" ]; then
    find_mirror
    private_apt_dir "$qdir" "$QEMU_SUITE"
    mkdir -p "$qdir/deb"
    out=$(private_apt "$qdir" amd64 update 2>&1) ||
      cannot "reading the $QEMU_SUITE package list from $mirror: $(apt_error "$out")"
    ( cd "$qdir/deb" && { private_apt "$qdir" amd64 download -qq "qemu-user=$QEMU_VERSION" >/dev/null 2>&1 ||
        { echo "setup-i386: qemu-user $QEMU_VERSION is gone from the mirror; taking the current one" >&2
          private_apt "$qdir" amd64 download -qq qemu-user >/dev/null 2>&1; }; } ) ||
      cannot "downloading qemu-user from $mirror $QEMU_SUITE failed"
    ( cd "$qdir" && dpkg-deb --fsys-tarfile deb/qemu-user_*.deb | tar -x ./usr/bin/qemu-i386 )
  fi
  # F: the kernel opens the emulator now, so it works in every mount namespace and chroot.
  printf ':tandrel-qemu-i386:M::%s:%s:%s:F' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
    "$qemu" > "$binfmt/register" 2>/dev/null || cannot "registering $qemu with binfmt_misc failed"
fi

# 3. Debian 12's 32-bit Wine in a private root, from the main archive alone
#    (bookworm and bookworm-updates). Made once per lock file.
root="$TANDREL_WINE32_ROOT"
stamp="$root/.tandrel-root"
want=$(sha256sum "$LOCK" | cut -d' ' -f1)
if [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
  echo "setup-i386: unpacking 32-bit Wine into $root" >&2
  read_root_lists
  mapfile -t pinned < <(grep -v -E '^[[:space:]]*(#|$)' "$LOCK")
  rm -f "$adir"/cache/archives/*.deb
  if ! out=$(private_apt "$adir" i386 install -y --download-only "${pinned[@]}" 2>&1); then
    # A point release replaced some pinned version: take the current ones, and say so.
    echo "setup-i386: $(apt_error "$out"); taking the archive's current versions" >&2
    out=$(private_apt "$adir" i386 install -y --download-only "${pinned[@]%%=*}" 2>&1) ||
      cannot "downloading the i386 packages from $mirror: $(apt_error "$out")"
  fi
  rm -rf "$root.new" && mkdir -p "$root.new"
  for deb in "$adir"/cache/archives/*.deb; do
    dpkg-deb -x "$deb" "$root.new" || cannot "unpacking $(basename "$deb") failed"
  done
  # The 32-bit loader reads the root's own ld.so.cache (through QEMU_LD_PREFIX);
  # without one it reads the system's amd64 cache and finds no i386 library.
  ldconfig -r "$root.new" || cannot "ldconfig -r $root.new failed"
  [ -x "$root.new/usr/lib/wine/wine" ] || cannot "the unpacked root has no usr/lib/wine/wine"
  rm -rf "$root" && mv "$root.new" "$root"
  echo "$want" > "$stamp"
fi
