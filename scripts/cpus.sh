#!/usr/bin/env bash
# Prints how many CPUs this process may really use. nproc honours the CPU
# affinity but not a CPU quota of the control group, and a container often
# shows every CPU of its host while granting only a few of them.
set -euo pipefail
n=$(nproc)
quota=""
period=""
group=$(awk -F: '$1 == "0" {print $3}' /proc/self/cgroup 2>/dev/null || true)
for f in "/sys/fs/cgroup${group}/cpu.max" /sys/fs/cgroup/cpu.max; do
  if [ -r "$f" ]; then
    read -r quota period < "$f" || true
    break
  fi
done
if [ -z "$quota" ]; then
  group=$(awk -F: '$2 ~ /(^|,)cpu(,|$)/ {print $3}' /proc/self/cgroup 2>/dev/null || true)
  for d in "/sys/fs/cgroup/cpu${group}" "/sys/fs/cgroup/cpu,cpuacct${group}" /sys/fs/cgroup/cpu; do
    if [ -r "$d/cpu.cfs_quota_us" ]; then
      quota=$(cat "$d/cpu.cfs_quota_us")
      period=$(cat "$d/cpu.cfs_period_us")
      break
    fi
  done
fi
if [[ "$quota" =~ ^[0-9]+$ ]] && [[ "$period" =~ ^[0-9]+$ ]] && [ "$quota" -gt 0 ] && [ "$period" -gt 0 ]; then
  granted=$(( (quota + period - 1) / period ))
  if [ "$granted" -lt "$n" ]; then n=$granted; fi
fi
echo "$n"
