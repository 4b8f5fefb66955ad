#!/bin/sh
# Every test (scripts/test.sh) inside a fresh Debian root of another release,
# made with debootstrap from Debian's packages: a clean clone of this
# checkout's commit, the mirror this machine's apt uses (nothing here names
# a host), and this machine's CA certificates, so that the root's package
# clients trust what this machine trusts. Mounts are undone and nothing is
# left running inside the root, whatever happens. Run as root.
# Usage: test-in-debian.sh <12|13> [prepare|run|demo|all]
#   prepare  makes the root anew and installs what the suite needs into it
#   run      runs the suite in the prepared root
#   demo     runs the demo (scripts/demo.sh) in the prepared root
#   all      both (the default)
set -eu
cd "$(dirname "$0")/.."
version=$1
step=${2:-all}
case $version in
  12) suite=bookworm ;;
  13) suite=trixie ;;
  *)
    echo "test-in-debian.sh: no Debian $version here (12 or 13)" >&2
    exit 2
    ;;
esac
# Resolved, as /proc/self/mounts and /proc/<pid>/root give paths: a
# checkout reached through a link must still find its root's mounts.
root="$(pwd -P)/build/debian-$version"
commit=$(git rev-parse HEAD)

# The Debian archive this machine's apt takes its own release from, in
# either form of apt's sources.
host_mirror() {
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  {
    awk -v c="$codename" '$1 == "deb" && (" " $0 " ") ~ (" " c " ") {
      for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit }
    }' /etc/apt/sources.list 2>/dev/null || true
    for sources in /etc/apt/sources.list.d/*.sources; do
      [ -f "$sources" ] || continue
      awk -v c="$codename" 'BEGIN { RS = "" } {
        uri = ""; suites = ""
        n = split($0, lines, "\n")
        for (i = 1; i <= n; i++) {
          if (lines[i] ~ /^URIs:/) { split(lines[i], words, " "); uri = words[2] }
          if (lines[i] ~ /^Suites:/) suites = " " substr(lines[i], 8) " "
        }
        if (uri != "" && index(suites, " " c " ")) { print uri; exit }
      }' "$sources"
    done
  } | head -n 1
}

# Ends every process whose root is the Debian root, then undoes the mounts,
# innermost first.
release_root() {
  for process in /proc/[0-9]*; do
    if [ "$(readlink "$process/root" 2>/dev/null)" = "$root" ]; then
      kill -9 "${process#/proc/}" 2>/dev/null || true
    fi
  done
  mounts_below | sort -r | while IFS= read -r mount; do
    umount -l "$mount" 2>/dev/null || true
  done
}

# The mount points below the root, one a line, as paths: /proc/self/mounts
# writes a blank, a tab, a line feed and a backslash as octal escapes.
mounts_below() {
  awk '{ print $2 }' /proc/self/mounts | while IFS= read -r escaped; do
    mount=$(printf '%b' "$(printf '%s' "$escaped" | sed 's/\\\([0-7][0-7][0-7]\)/\\0\1/g')")
    case $mount in
      "$root"/*) printf '%s\n' "$mount" ;;
    esac
  done
}

# Removes the root, never through a mount: with one still below it (the
# host's /dev, say), it refuses.
remove_root() {
  if [ -n "$(mounts_below)" ]; then
    echo "test-in-debian.sh: still mounted below $root; not removed:" >&2
    mounts_below >&2
    exit 1
  fi
  rm -rf --one-file-system "$root"
}

mount_root() {
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  # A slave from the moment it exists, so that no mount or unmount below the
  # root's /dev ever reaches this machine's.
  mount --rbind --make-rslave /dev "$root/dev"
}

# Runs a shell command in the root, as root, with a plain environment.
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive sh -c "$1"
}

# A clean clone of the commit checked out here, at /work/driver-tools in
# the root (a path no runtime writes into a program, unlike /src).
clone_commit() {
  rm -rf --one-file-system "$root/work/driver-tools"
  git clone --quiet --no-local . "$root/work/driver-tools"
  git -C "$root/work/driver-tools" checkout --quiet "$commit"
}

prepare() {
  if ! command -v debootstrap >/dev/null 2>&1; then
    echo "Installing: debootstrap"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
  fi
  mirror=$(host_mirror)
  if [ -z "$mirror" ]; then
    echo "test-in-debian.sh: no Debian archive in this machine's apt sources" >&2
    exit 1
  fi
  release_root
  remove_root
  mkdir -p "$root"
  echo "Making a Debian $version root ($suite) from $mirror"
  debootstrap --variant=minbase --include=ca-certificates "$suite" "$root" \
    "$mirror" >"$root.debootstrap.log" 2>&1 ||
    { tail -n 20 "$root.debootstrap.log"; exit 1; }
  cp /etc/ssl/certs/ca-certificates.crt "$root/etc/ssl/certs/"
  if [ -d /usr/local/share/ca-certificates ]; then
    cp -R /usr/local/share/ca-certificates/. \
      "$root/usr/local/share/ca-certificates/"
  fi
  clone_commit
  mount_root
  in_root "cd /work/driver-tools && scripts/install-deps.sh && apt-get install -y -qq \
    --no-install-recommends nodejs npm >/dev/null"
  release_root
}

# Runs script (scripts/test.sh or scripts/demo.sh) in the prepared root, on
# a fresh clone of the commit.
run() {
  if [ ! -x "$root/usr/bin/wine" ]; then
    echo "test-in-debian.sh: no prepared Debian $version root; prepare it first" >&2
    exit 1
  fi
  clone_commit
  mount_root
  echo "Debian $version ($(in_root 'wine --version')): $1"
  in_root "cd /work/driver-tools && $1"
}

trap release_root EXIT
# Ended by a signal, it exits with that signal's status, as a shell would.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
case $step in
  prepare) prepare ;;
  run) run scripts/test.sh ;;
  demo) run scripts/demo.sh ;;
  all)
    prepare
    run scripts/test.sh
    ;;
  *)
    echo "test-in-debian.sh: unknown step $step" >&2
    exit 2
    ;;
esac
