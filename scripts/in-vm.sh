#!/usr/bin/env bash
# Runs one shell command, from the project folder, inside a virtual machine
# whose kernel runs 32-bit x86 programs, and exits with its exit code.
#
# Some machines' kernels run 64-bit user code only: every i386 program, so
# 32-bit Wine and all it runs, fails there with "Exec format error". The
# guest boots Debian's own kernel under qemu (software emulation where there
# is no KVM) and sees this machine's file system, read-only, with the project
# folder writable: the same packages, the same build, nothing to copy. The
# guest's output is this script's output.
#   scripts/in-vm.sh '/usr/bin/python3 -m pytest -q tests/e2e'
set -euo pipefail
cd "$(dirname "$0")/.."
project=$(pwd)
[ $# -eq 1 ] || { echo "usage: $0 'command'" >&2; exit 2; }

kernel=$(ls -1 /boot/vmlinuz-* 2>/dev/null | sort -V | tail -1)
[ -n "$kernel" ] || { echo "in-vm: no kernel in /boot (scripts/setup.sh installs one)" >&2; exit 2; }
version=${kernel#/boot/vmlinuz-}

# A small initial file system of our own: busybox, the modules that reach
# the host's files over 9p, and scripts/vm/init.
work=build/vm
rm -rf "$work/initrd"
mkdir -p "$work/initrd/bin" "$work/initrd/modules"
cp /bin/busybox "$work/initrd/bin/"
cp scripts/vm/init "$work/initrd/init"
for m in virtio_pci 9pnet_virtio 9p; do modprobe -S "$version" --show-depends "$m"; done |
  awk '$1 == "insmod" && !seen[$2]++ { print $2 }' |
  while read -r module; do
    cp "$module" "$work/initrd/modules/"
    basename "$module"
  done > "$work/initrd/modules.list"
(cd "$work/initrd" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initrd.gz"

# Half the memory, up to 12 GiB (or VM_MEMORY_MIB): the end-to-end tests'
# prefixes and X servers live in the guest's memory.
total_kib=$(awk '/^MemTotal/ { print $2 }' /proc/meminfo)
memory_mib=$(( total_kib / 2048 ))
[ "$memory_mib" -gt 12288 ] && memory_mib=12288
memory_mib=${VM_MEMORY_MIB:-$memory_mib}
accel=tcg,thread=multi,tb-size=1024
cpu=max,-smap,-smep  # QEMU 7.2's emulated SMAP faults 32-bit Wine's iret
[ -w /dev/kvm ] && { accel=kvm; cpu=host; }

rm -f "$work/exit-code"
qemu-system-x86_64 -accel "$accel" -cpu "$cpu" -smp "$(nproc)" -m "$memory_mib" \
  -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=1 ia32_emulation=on vmproject=$(printf %s "$project" | base64 -w0) vmjob=$(printf %s "$1" | base64 -w0)" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$project,mount_tag=project,security_model=none,multidevs=remap" \
  -display none -serial stdio -monitor none -no-reboot -nic none </dev/null |
  { grep --line-buffered -v -E '^\[ *[0-9]+\.[0-9]+\] (reboot|ACPI)' || true; }
[ -f "$work/exit-code" ] || { echo "in-vm: the guest stopped before its command ended" >&2; exit 1; }
exit "$(cat "$work/exit-code")"
