#!/usr/bin/env bash
# Installs the Debian packages named as arguments that are not installed yet.
# Idempotent: prints nothing and does nothing when all are present.
set -euo pipefail
missing=()
for p in "$@"; do
  st=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$st" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
  else
    echo "Run as root: apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi
# Wait for another package manager run instead of failing on its lock.
apt_opts=(-o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get "${apt_opts[@]}" update -qq
"${sudo[@]}" apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends "${missing[@]}"
