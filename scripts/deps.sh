#!/usr/bin/env bash
# Installs the Debian packages the program needs that are missing.
#   deps.sh run      what building, starting and packaging the program needs (cpack -G DEB)
#   deps.sh test     what building the program and running its tests needs
#   deps.sh fuzz     what building the fuzz harnesses needs (scripts/fuzz.sh)
#   deps.sh format   the one clang-format the code style is checked with (scripts/format.sh)
set -euo pipefail

build=(cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins fonts-dejavu-core
  libavformat-dev libavcodec-dev libavfilter-dev libavutil-dev libswscale-dev libswresample-dev)
case "${1:-run}" in
  # cpack needs file to find the binaries and dpkg-shlibdeps (dpkg-dev) for the package's Depends.
  run)    packages=("${build[@]}" xdg-utils dpkg-dev file) ;;
  test)   packages=("${build[@]}" libgtest-dev ffmpeg desktop-file-utils appstream dpkg-dev file imagemagick
                    valgrind xvfb openbox parallel rsync openssh-server slurm-wlm munge ccache) ;;
  fuzz)   packages=("${build[@]}" clang-14 libclang-rt-14-dev ccache) ;;
  format) packages=(clang-format-14) ;;
  *)      echo "usage: $0 run|test|fuzz|format" >&2; exit 2 ;;
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
