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

lintian --fail-on error "$deb"

# The unpacked package is an installed tree under a DESTDIR: its programs run
# from there, finding their libraries and shared files beside themselves.
root=$work/root
dpkg -x "$deb" "$root"
bin=$root/usr/bin
unset LD_LIBRARY_PATH
"$bin/vantor" --version | grep -Eqx 'vantor [0-9.]+'
"$bin/vantorctl" --version | grep -Eqx 'vantorctl [0-9.]+'
"$bin/vantor-sim" --help | grep -q '^usage: vantor-sim'

# The application against the virtual instrument, both from the tree, with
# the user's own set.ini (Chinese) over the shipped one and the operation log
# on: the log of its Auto refresh appears in the user's data folder.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM=offscreen FERRULE_SIM_SOCKET="$work/usb.sock"
user="Marlowe Vantor Application"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/$user/Vantor" && mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[Set]\nLanguage=ZH\n' >"$XDG_CONFIG_HOME/$user/Vantor/set.ini"
printf '[Settings]\nInterval%%20time=500\nOperate%%20File%%20check=8\n' >"$XDG_CONFIG_HOME/$user/Vantor.conf"

"$bin/vantor-sim" --usb-socket "$FERRULE_SIM_SOCKET" --quiet >"$work/sim.log" 2>&1 &
sim=$!
"$bin/vantor" --connect --auto >"$work/vantor.log" 2>&1 &
app=$!
trap 'kill $app $sim 2>/dev/null; rm -rf "$work"' EXIT
refresh=$(printf '刷新波形' | iconv -f UTF-8 -t GBK)
log="$XDG_DATA_HOME/$user/Vantor/Operate File.txt"
for _ in $(seq 300); do
  if LC_ALL=C grep -qF "$refresh" "$log" 2>/dev/null; then
    echo "installed tree: connected and refreshing, log in $XDG_DATA_HOME"
    exit 0
  fi
  kill -0 $app 2>/dev/null || break
  sleep 0.1
done
echo "the installed vantor wrote no Chinese refresh lines to $log"
cat "$work/vantor.log" "$work/sim.log"
ls -lR "$XDG_DATA_HOME" 2>&1
exit 1
