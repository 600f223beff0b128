#!/usr/bin/env bash
# Prints the Debian archive this machine's apt uses (for example
# http://deb.debian.org/debian), taken from apt's own source files: one-line
# "deb URI suite ..." lines in sources.list and *.list, and "URIs:" fields of
# deb822 *.sources stanzas whose Types include deb. Comment lines never count,
# missing files are fine, and the security archive is not the main archive.
# Exits 1, with the reason on stderr, when no mirror is found.
#   apt-mirror.sh [SOURCES_LIST SOURCES_PARTS_DIR]   (default: apt's configuration)
set -uo pipefail

if [ $# -ge 2 ]; then
  list=$1 parts=$2
else
  eval "$(apt-config shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d 2>/dev/null)"
  list=${list:-/etc/apt/sources.list} parts=${parts:-/etc/apt/sources.list.d}
fi

files=()
[ -f "$list" ] && files+=("$list")
for f in "${parts%/}"/*.list "${parts%/}"/*.sources; do
  [ -f "$f" ] && files+=("$f")
done
if [ ${#files[@]} -eq 0 ]; then
  echo "apt-mirror: no apt source files ($list, ${parts%/}/*.list, ${parts%/}/*.sources)" >&2
  exit 1
fi

candidates=$(
  for f in "${files[@]}"; do
    case "$f" in
      *.sources)
        # deb822: stanzas split by blank lines; a stanza counts when its Types
        # include "deb" and it is not switched off with "Enabled: no".
        awk 'function flush() { if (types ~ /(^|[ \t])deb([ \t]|$)/ && enabled != "no") { n = split(uris, u, /[ \t]+/); for (i = 1; i <= n; i++) if (u[i] != "") print u[i] } types = ""; uris = ""; enabled = "" }
             /^[ \t]*#/ { next }
             /^[ \t]*$/ { flush(); next }
             tolower($1) == "types:" { $1 = ""; types = $0 }
             tolower($1) == "uris:" { $1 = ""; uris = $0 }
             tolower($1) == "enabled:" { enabled = tolower($2) }
             END { flush() }' "$f" ;;
      *)
        # One-line format: deb [options] URI suite components...
        awk '/^[ \t]*deb[ \t]/ { i = 2; if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ } if (i <= NF) print $i }' "$f" ;;
    esac
  done
)

# The main archive: an http(s) URI whose last path component is "debian".
mirror=$(printf '%s\n' "$candidates" | grep -E '^https?://' | grep -E '/debian/?$' | head -n1)
if [ -z "$mirror" ]; then
  echo "apt-mirror: no Debian archive among the deb sources in ${files[*]}" >&2
  exit 1
fi
echo "${mirror%/}"
