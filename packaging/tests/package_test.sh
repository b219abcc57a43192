#!/bin/sh
# Builds the Debian package from a build tree, checks that every file is in
# its place and that lintian finds no error, then runs the programs out of
# the unpacked package as an installed tree.
set -euf
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/vantor-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
deb=$(find "$work/out" -maxdepth 1 -name "*.deb")
echo "package: $(basename "$deb")"

dpkg -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' >"$work/files"
expected() {
  printf '%s\n' usr/bin/vantor usr/bin/vantorctl usr/bin/vantor-sim
  for lib in ferrule tavlink tavnet tavserial; do
    printf 'usr/lib(/[^/]+)?/lib%s\\.so\\.1\n' $lib
    printf 'usr/lib(/[^/]+)?/lib%s\\.so\\.1\\.[0-9.]+\n' $lib
  done
  printf 'usr/share/vantor/%s\n' 'set\.ini' 'language/en\.ini' 'language/zh\.ini'
  printf '%s\n' 'usr/share/applications/org\.vantor\.Vantor\.desktop' \
    'usr/share/metainfo/org\.vantor\.Vantor\.metainfo\.xml' \
    'usr/share/icons/hicolor/scalable/apps/org\.vantor\.Vantor\.svg'
  for size in 16 22 24 32 48 64 128 256; do
    printf 'usr/share/icons/hicolor/%sx%s/apps/org\\.vantor\\.Vantor\\.png\n' $size $size
  done
  printf 'usr/share/man/man1/%s\\.1\\.gz\n' vantor vantorctl vantor-sim
  printf '%s\n' '(usr/)?lib/udev/rules\.d/70-vantor-oscilloscope\.rules' 'usr/share/doc/vantor/copyright'
}
status=0
for pattern in $(expected); do
  if ! grep -Eqx "$pattern" "$work/files"; then
    echo "missing from the package: $pattern"
    status=1
  fi
done
# Nothing for developers, nothing beside the programs.
if grep -En '^usr/include/|\.so$|^usr/bin/.*/|^usr/bin/set\.ini' "$work/files"; then
  echo "the package holds files it should not"
  status=1
fi
[ $status -eq 0 ] || { cat "$work/files"; exit 1; }

lintian --fail-on error --suppress-tags-from-file /dev/null "$deb"
