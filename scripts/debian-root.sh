# shellcheck shell=bash
# Sourced by the scripts that run programs of another Debian release (or a
# clean one) beside this machine's sockets: one place that makes, caches and
# enters Debian roots.
#
#   debian_root SUITE PACKAGE...   prints the path of a root of SUITE with the
#                                  packages installed; made by debootstrap
#                                  and apt the first time, then kept (exit 77
#                                  when it must be made and the archive
#                                  cannot be reached)
#   in_debian_root ROOT CMD...     runs CMD in ROOT, in a mount namespace of
#                                  its own with /proc, /dev, /sys (read-only:
#                                  systemd's library reads the cgroups), this
#                                  machine's /tmp, name look-up and the package cache,
#                                  and the folders of this machine named in
#                                  $KESTROVE_ROOT_BINDS (separated by spaces)
#                                  at the same paths; it takes the place of
#                                  the calling shell, so call it in a subshell
#                                  or as a command of its own
#   in_debian_root_apt ROOT CMD... the same for a command that runs apt: one
#                                  at a time, since every root shares the
#                                  package cache and apt locks it
#
# The roots live outside any clone, in $KESTROVE_ROOT_CACHE (default
# /var/cache/kestrove-roots), so every build tree and later run on this
# machine finds them; one root per suite, archive and package list. Runs that
# need the same root at once wait for the first to make it.

# shellcheck source=scripts/debian-archive.sh
. "$(dirname "${BASH_SOURCE[0]}")/debian-archive.sh"

debian_root_cache() {
    local cache=${KESTROVE_ROOT_CACHE:-/var/cache/kestrove-roots}
    mkdir -p "$cache/archives/partial" && realpath "$cache"
}

# The archive apt uses for this machine's release; it serves the other
# releases too.
debian_root_mirror() {
    local host_suite
    # shellcheck source=/dev/null
    host_suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    debian_archive "$host_suite" | head -n1
}

in_debian_root() {
    local root=$1 cache
    shift
    cache=$(debian_root_cache)
    # shellcheck disable=SC2016 # expanded by the inner shell
    exec unshare --mount --propagation private -- sh -c '
        root=$1 cache=$2 binds=$3
        shift 3
        for folder in $binds; do
            mkdir -p "$root$folder" && mount --bind "$folder" "$root$folder" || exit
        done
        mount -t proc proc "$root/proc" &&
        mount --rbind /dev "$root/dev" &&
        mount --rbind /sys "$root/sys" &&
        mount -o remount,bind,ro "$root/sys" &&
        mount --bind /tmp "$root/tmp" &&
        mount --bind /etc/hosts "$root/etc/hosts" &&
        mount --bind /etc/resolv.conf "$root/etc/resolv.conf" &&
        mount --bind "$cache" "$root/var/cache/apt/archives" &&
        exec chroot "$root" "$@"' sh "$root" "$cache/archives" "${KESTROVE_ROOT_BINDS:-}" "$@"
}

in_debian_root_apt() {
    local cache
    cache=$(debian_root_cache)
    exec 8>"$cache/archives.lock"
    flock 8
    in_debian_root "$@"
}

debian_root() {
    local suite=$1
    shift
    local packages="$*" cache mirror root part log
    for tool in debootstrap unshare chroot wget flock; do
        command -v "$tool" >/dev/null || {
            echo "debian root: $tool is missing" >&2
            return 1
        }
    done
    cache=$(debian_root_cache) || return 1
    mirror=$(debian_root_mirror)
    [[ -n $mirror ]] || {
        echo "debian root: apt lists no archive for this machine's release" >&2
        return 1
    }
    root=$cache/$suite-$(echo "$mirror $packages" | md5sum | cut -c1-8)
    part=$root.part
    log=$root.log
    (
        exec 9>"$root.lock"
        flock 9
        [[ -f $root/.complete ]] && exit 0
        wget -q -T 20 -t 2 --spider "$mirror/dists/$suite/InRelease" || {
            echo "debian root: cannot reach $mirror for $suite" >&2
            exit 77
        }
        # debootstrap fetches into the shared package cache without a lock
        # and apt gives up at once on finding the cache locked: one root is
        # made at a time.
        exec 8>"$cache/making.lock"
        flock 8
        rm -rf "$part"
        echo "debian root: debootstrap --variant=minbase $suite and apt-get install $packages" \
            "(first run; kept in $cache)" >&2
        debootstrap --variant=minbase --cache-dir="$cache/archives" "$suite" "$part" "$mirror" \
            >"$log" 2>&1 || {
            tail -n 40 "$log" >&2
            echo "debian root: debootstrap failed" >&2
            exit 1
        }
        touch "$part/etc/hosts" "$part/etc/resolv.conf"
        if [[ -n $packages ]]; then
            # shellcheck disable=SC2086 # the list is split on purpose
            (in_debian_root_apt "$part" env DEBIAN_FRONTEND=noninteractive sh -c \
                "apt-get update -q && apt-get install -y -q --no-install-recommends $packages") \
                >>"$log" 2>&1 || {
                tail -n 40 "$log" >&2
                echo "debian root: apt-get install $packages failed" >&2
                exit 1
            }
        fi
        touch "$part/.complete"
        mv "$part" "$root"
    ) || return
    echo "$root"
}
