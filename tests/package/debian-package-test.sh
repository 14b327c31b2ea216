#!/usr/bin/env bash
# The Debian package made from this build tree, as a user gets it: packed by
# CPack, checked by lintian (no errors), unpacked, its contents checked, a C
# client built with its pkg-config file playing on its virtual board, and its
# diagnostic program run.
#   debian-package-test.sh BUILD_DIR FOREIGN_CLIENT_SOURCE PROGRAM...
set -euo pipefail
build=$1 client_source=$2
shift 2
programs=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/tonrig_*_amd64.deb)

if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian reports errors"; }
else
    fail "lintian is not installed"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
expected=(
    usr/lib/libtavro.so usr/lib/libtavro_dialogs.so usr/lib/tavro/libtavro_virtualboard.so
    usr/lib/libtonrig_audio_pulse.so
    usr/include/tavro/SoundInterface.h usr/lib/pkgconfig/tavro.pc
    usr/share/applications/tavroconfig.desktop usr/share/icons/hicolor/scalable/apps/tavroconfig.svg
    usr/share/doc/tonrig/copyright usr/share/doc/tonrig/changelog.gz usr/share/doc/tonrig/libtavro.ini
    usr/lib/udev/rules.d/60-tavro-ftdi.rules usr/share/tonrig/VELKAN.BIN usr/share/tonrig/demo-song.vkn
)
for program in "${programs[@]}"; do
    expected+=("usr/bin/$program" "usr/share/man/man1/$program.1.gz")
done
for path in "${expected[@]}"; do
    [[ -e "$root/$path" ]] || fail "missing /$path"
done
for program in "${programs[@]}"; do
    [[ -x "$root/usr/bin/$program" ]] || fail "/usr/bin/$program is not executable"
    gzip -t "$root/usr/share/man/man1/$program.1.gz" 2>/dev/null || fail "$program.1.gz is not gzip data"
done
grep -q 'ATTR{idVendor}=="0403".*TAG+="uaccess"' "$root/usr/lib/udev/rules.d/60-tavro-ftdi.rules" ||
    fail "the udev rule does not give FTDI devices to the seat's user"
dpkg-deb -f "$deb" Depends | grep -q libftdi1 || fail "the package does not depend on libftdi1"

# A client built with the package's pkg-config file plays on its virtual board.
export PKG_CONFIG_PATH=$root/usr/lib/pkgconfig
flags=$(pkg-config --cflags --libs tavro) || fail "pkg-config does not know tavro"
cc -std=c11 -Wall -Werror "$client_source" $flags -o "$work/client" || fail "the C client does not build"
mkdir "$work/play"
"$work/client" "$root/usr/lib/libtavro.so" "$root/usr/lib/tavro/libtavro_virtualboard.so" "$work/play" ||
    fail "the C client did not play on the virtual board"
printf '#include <tavro/SoundInterface.h>\nint main() { return getSoundInterfaceManager() == nullptr; }\n' >"$work/header.cpp"
c++ -std=c++17 "$work/header.cpp" $flags -o "$work/header" || fail "a C++ client does not build with the header"

"$root/usr/bin/tavrodevices" | grep -q "^FTDI devices" || fail "tavrodevices does not run"
exit $failed
