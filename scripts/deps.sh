#!/usr/bin/env bash
# Installs the Debian packages the program needs that are missing.
#   deps.sh run    what building and starting the program needs
#   deps.sh test   that, plus what the tests need
#   deps.sh fuzz   what building the fuzz harnesses needs (scripts/fuzz.sh)
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins fonts-dejavu-core
  libavformat-dev libavcodec-dev libavfilter-dev libavutil-dev libswscale-dev libswresample-dev)
case "${1:-run}" in
  run)  packages+=(xdg-utils) ;;
  test) packages+=(libgtest-dev ffmpeg desktop-file-utils appstream dpkg-dev file imagemagick valgrind xvfb openbox) ;;
  fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
  *)    echo "usage: $0 run|test|fuzz" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# sudo drops the caller's environment, so the setting goes on its command line.
as_root=(env DEBIAN_FRONTEND=noninteractive)
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Installing ${missing[*]} needs root: run this as root or install sudo." >&2; exit 1; }
  as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
