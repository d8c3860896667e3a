#!/usr/bin/env bash
# Prints how many CPUs this process may really use. nproc honours the CPU
# affinity but not a CPU quota of the control group, and a container often
# shows every CPU of its host while granting only a few of them. The
# smallest quota on the way from this process's group up to the root counts.
set -euo pipefail
n=$(nproc)

# Lowers n to what quota/period grants, rounded up.
take_quota() {
  local quota=$1 period=$2
  if [[ "$quota" =~ ^[0-9]+$ ]] && [[ "$period" =~ ^[0-9]+$ ]] && [ "$quota" -gt 0 ] && [ "$period" -gt 0 ]; then
    local granted=$(( (quota + period - 1) / period ))
    if [ "$granted" -lt "$n" ]; then n=$granted; fi
  fi
}

# Every directory from /sys/fs/cgroup<rest><group> up to /sys/fs/cgroup<rest>.
groups_up() {
  local base=$1 group=$2
  while :; do
    echo "$base$group"
    [ -z "$group" ] || [ "$group" = "/" ] && break
    group=${group%/*}
  done
}

v2=$(awk -F: '$1 == "0" {print $3}' /proc/self/cgroup 2>/dev/null || true)
v1=$(awk -F: '$2 ~ /(^|,)cpu(,|$)/ {print $3}' /proc/self/cgroup 2>/dev/null || true)
while read -r dir; do
  if [ -r "$dir/cpu.max" ]; then
    read -r quota period < "$dir/cpu.max" || true
    take_quota "${quota:-max}" "${period:-0}"
  fi
done < <(groups_up /sys/fs/cgroup "$v2")
for base in /sys/fs/cgroup/cpu /sys/fs/cgroup/cpu,cpuacct; do
  while read -r dir; do
    if [ -r "$dir/cpu.cfs_quota_us" ] && [ -r "$dir/cpu.cfs_period_us" ]; then
      take_quota "$(cat "$dir/cpu.cfs_quota_us")" "$(cat "$dir/cpu.cfs_period_us")"
    fi
  done < <(groups_up "$base" "$v1")
done
echo "$n"
