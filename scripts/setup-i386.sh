#!/usr/bin/env bash
# Sets up running 32-bit Windows programs on this x86_64 kernel, which runs no
# 32-bit code natively: Debian 13's qemu-i386 (user-mode emulation) registered
# with binfmt_misc, and Debian's 32-bit Wine. Idempotent.
# Exits 0 when ready, 3 when this machine cannot do it (the reason on stderr).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

# Debian 12's qemu-user is far too slow for Wine; this one was tested.
QEMU_VERSION="1:10.0.13+ds-0+deb13u1"
QEMU_SUITE="trixie"
I386_MAGIC="7f454c4601010100000000000000000002000300"

cannot() { echo "setup-i386: $*" >&2; exit 3; }

[ "$(id -u)" -eq 0 ] || cannot "needs root (binfmt_misc and apt)"

# 1. Is some emulator already registered for i386 ELF? Then leave it alone.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || cannot "cannot mount binfmt_misc"
fi
registered=""
for entry in "$binfmt"/*; do
  case "$(basename "$entry")" in register|status) continue ;; esac
  if grep -q "^magic $I386_MAGIC" "$entry" 2>/dev/null && grep -q '^enabled' "$entry"; then registered="$entry"; fi
done

if [ -z "$registered" ]; then
  # 2. Fetch only qemu-i386 from Debian 13 with a private apt state; the system's sources stay as they are.
  qdir="$TANDREL_BUILD/qemu"
  qemu="$qdir/usr/bin/qemu-i386"
  if [ ! -x "$qemu" ]; then
    mkdir -p "$qdir/lists/partial" "$qdir/cache/archives/partial" "$qdir/etc" "$qdir/deb"
    # The archive apt already uses (a local mirror or proxy keeps working).
    mirror=$("$(dirname "${BASH_SOURCE[0]}")/apt-mirror.sh" 2>&1) || cannot "cannot find a Debian mirror: $mirror"
    echo "deb ${mirror%/} $QEMU_SUITE main" > "$qdir/etc/sources.list"
    apt_opts=(-o "Dir::Etc::SourceList=$qdir/etc/sources.list" -o Dir::Etc::SourceParts=/dev/null
              -o "Dir::State::Lists=$qdir/lists" -o "Dir::Cache=$qdir/cache" -o "APT::Architectures::=amd64"
              -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts=/dev/null -o APT::Sandbox::User=root)
    out=$(apt-get "${apt_opts[@]}" update -qq 2>&1) ||
      cannot "cannot read the $QEMU_SUITE package list from $mirror: $(printf '%s\n' "$out" | tail -n1)"
    ( cd "$qdir/deb" && { apt-get "${apt_opts[@]}" download -qq "qemu-user=$QEMU_VERSION" >/dev/null 2>&1 ||
        { echo "setup-i386: qemu-user $QEMU_VERSION is gone from the mirror; taking the current one" >&2
          apt-get "${apt_opts[@]}" download -qq qemu-user >/dev/null 2>&1; }; } ) || cannot "cannot download qemu-user"
    ( cd "$qdir" && dpkg-deb --fsys-tarfile deb/qemu-user_*.deb | tar -x ./usr/bin/qemu-i386 )
  fi
  # F: the kernel opens the emulator now, so it works in every mount namespace and chroot.
  printf ':tandrel-qemu-i386:M::%s:%s:%s:F' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
    "$qemu" > "$binfmt/register" 2>/dev/null || cannot "cannot register qemu-i386 with binfmt_misc"
fi

# 3. Debian's 32-bit Wine.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  echo "setup-i386: installing wine32:i386"
  dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq wine32:i386 >/dev/null || cannot "cannot install wine32:i386"
fi
