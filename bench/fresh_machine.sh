#!/usr/bin/env bash
# Times the test command on a fresh Debian 12 machine: a minimal root made by
# debootstrap, given what a new development machine comes with (compiler,
# CMake, GoogleTest and Benchmark, the clang tools, debuggers), a clean clone
# of a commit inside it, and the command run there through chroot. None of
# this machine's packages or caches (the Windows codec libraries among them)
# reaches the run; only its archive settings do. Needs root. The prepared
# root is kept for the next run; each run starts from a copy of it.
#
#   bench/fresh_machine.sh [commit]          the commit (default HEAD)
#   FRESH_DIR=/var/tmp/orv-fresh             where the roots live
#   FRESH_COMMAND="scripts/run.sh"           another command than the test
#                                            command (CI=true .ci/run)
#
# Prints the wall time; the command's output is in $FRESH_DIR/run.log.
set -euo pipefail
cd "$(dirname "$0")/.."
commit=$(git rev-parse "${1:-HEAD}")
dir=${FRESH_DIR:-/var/tmp/orv-fresh}
command=${FRESH_COMMAND:-CI=true .ci/run}
if [ "$(id -u)" -ne 0 ]; then
  echo "fresh_machine.sh needs root: debootstrap, chroot and bind mounts" >&2
  exit 2
fi

mounted=()
mount_system() {
  for m in proc sys dev dev/pts dev/shm; do
    mount --bind "/$m" "$1/$m"
    mounted=("$1/$m" "${mounted[@]}")
  done
}
unmount_all() {
  for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done
  mounted=()
}
trap unmount_all EXIT

base=$dir/base
if [ ! -f "$base/.ready" ]; then
  command -v debootstrap >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
  rm -rf "$base"
  mkdir -p "$dir"
  debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian >"$dir/base.log"
  # The archive as this machine reaches it (mirror, proxy, checks).
  rm -f "$base/etc/apt/sources.list"
  cp /etc/apt/sources.list.d/* "$base/etc/apt/sources.list.d/" 2>/dev/null || true
  [ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$base/etc/apt/"
  cp /etc/apt/apt.conf.d/* "$base/etc/apt/apt.conf.d/" 2>/dev/null || true
  cp /etc/resolv.conf "$base/etc/"
  mount_system "$base"
  chroot "$base" bash -c 'export DEBIAN_FRONTEND=noninteractive; apt-get update -qq &&
    apt-get install -y --no-install-recommends g++ cmake libgtest-dev libgmock-dev \
      libbenchmark-dev clang-format clang-tidy cppcheck clangd bear gdb valgrind heaptrack \
      git make python3 perl ca-certificates sudo procps xz-utils file' >>"$dir/base.log" 2>&1
  chroot "$base" apt-get clean
  unmount_all
  touch "$base/.ready"
fi

run=$dir/run
rm -rf "$run"
cp -a "$base" "$run"
mount_system "$run"
git clone -q "$PWD" "$run/root/repo"
git -C "$run/root/repo" checkout -q "$commit"
echo "running '$command' at $(git rev-parse --short "$commit") on a fresh machine ($run)"
SECONDS=0
status=0
chroot "$run" bash -c "cd /root/repo && $command" >"$dir/run.log" 2>&1 || status=$?
echo "exit $status after $((SECONDS / 60)) min $((SECONDS % 60)) s; output: $dir/run.log"
# Whatever the run left running inside (Wine's servers, virtual displays).
for proc in /proc/[0-9]*; do
  [ "$(readlink "$proc/root" 2>/dev/null)" = "$run" ] && kill "${proc#/proc/}" 2>/dev/null
done
exit "$status"
