#!/usr/bin/env bash
# Makes the Debian package of a build with cpack in a temporary folder and checks
# it: exactly the files the layout names (the launcher in libexec beside its
# marker, the relative bin symlink, the desktop identity files), a launcher that
# runs through that symlink, and no complaint from desktop-file-validate,
# appstreamcli (without the network) or lintian at the error level.
#
#   package_test.sh <build folder> <install prefix> <version>
set -uo pipefail
build=$1 prefix=$2 version=$3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if [ "$prefix" != /usr ]; then
  echo "SKIP: this build installs under $prefix; the package is made for /usr" \
       "(configure with -DCMAKE_INSTALL_PREFIX=/usr)"
  exit 77
fi
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if ! (cd "$build" && cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1); then
  cat "$tmp/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
deb="$tmp/out/kest_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$tmp/out" >&2; echo "FAIL: no $(basename "$deb")" >&2; exit 1; }

# The file list: regular files and links, with the links' targets.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 ($7 == "->" ? " -> " $8 : "") }' \
  | sort >"$tmp/files"
{
  echo "/usr/bin/kest -> ../libexec/kest/kest"
  echo "/usr/libexec/kest/kest"
  echo "/usr/libexec/kest/libkest-engine.so"
  echo "/usr/libexec/kest/system-copy"
  echo "/usr/share/applications/org.kest.Client.desktop"
  echo "/usr/share/dbus-1/services/org.kest.Client.service"
  echo "/usr/share/doc/kest/changelog.gz"
  echo "/usr/share/doc/kest/copyright"
  for n in 16 24 32 48 64 128 256 512; do
    echo "/usr/share/icons/hicolor/${n}x${n}/apps/org.kest.Client.png"
  done
  echo "/usr/share/lintian/overrides/kest"
  echo "/usr/share/man/man1/kest.1.gz"
  echo "/usr/share/metainfo/org.kest.Client.metainfo.xml"
} | sort >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" >&2 || fail "the package's files differ from the layout (- expected, + packaged)"

root="$tmp/root"
dpkg-deb -x "$deb" "$root"
grep -q . "$root/usr/libexec/kest/system-copy" || fail "system-copy is empty"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/dbus-1/services/org.kest.Client.service")
[ "$exec_line" = /usr/bin/kest ] || fail "the D-Bus service starts '$exec_line', not /usr/bin/kest"
file -L "$root/usr/libexec/kest/kest" | grep -q ', stripped' || fail "the launcher is not stripped"
file -L "$root/usr/libexec/kest/libkest-engine.so" | grep -q ', stripped' || fail "the engine library is not stripped"
# Through the bin symlink, as a player's shell runs it (--version needs no display).
out=$("$root/usr/bin/kest" --version 2>&1) || fail "kest --version failed: $out"
case $out in *"$version"*) ;; *) fail "kest --version says '$out', not $version" ;; esac

desktop-file-validate "$root/usr/share/applications/org.kest.Client.desktop" \
  || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.kest.Client.metainfo.xml" \
  || fail "appstreamcli validate --no-net"
lintian --fail-on error "$deb" || fail "lintian reports errors"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "package $(basename "$deb"): layout, desktop entry, metainfo and lintian all pass"
