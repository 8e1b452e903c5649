#!/usr/bin/env bash
# The program installed where its user cannot write: installs a build into a
# temporary prefix and runs installed_use_test against it as such a user.
# Root writes everywhere, so as root that user is nobody; anyone else gets a
# program folder without write permission.
#   read_only_program_test.sh <build folder> <installed_use_test>
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
chmod 755 "$tmp"

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
program=$prefix/lib/watermark-image
# The build folder may be out of that user's reach (a clone under /root).
cp "$2" "$tmp/installed_use_test"

# The user's home, with XDG folders that name a videos folder of their own.
home=$tmp/home
mkdir -p "$home/.config" "$home/tmp"
mkdir -m 700 "$home/run"
echo 'XDG_VIDEOS_DIR="$HOME/My Films"' >"$home/.config/user-dirs.dirs"

if [ "$(id -u)" -eq 0 ]; then
  uid=$(id -u nobody)
  gid=$(id -g nobody)
  chown -R "$uid:$gid" "$home"
  as_user=(setpriv --reuid="$uid" --regid="$gid" --clear-groups)
else
  chmod -R a-w "$program"
  as_user=()
fi

"${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
  XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/run" TMPDIR="$home/tmp" QT_QPA_PLATFORM=offscreen \
  WM_INSTALLED_PROGRAM_DIR="$program" WM_EXPECTED_VIDEOS_DIR="$home/My Films" \
  WM_EXPECTED_CACHE_DIR="$home/.cache/watermark-image" "$tmp/installed_use_test"
