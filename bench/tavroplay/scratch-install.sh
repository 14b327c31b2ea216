# Sourced by the tavroplay measuring scripts: lays tavroplay and the library
# out as installed in a scratch folder $work (removed on exit, after calling
# the function on_exit when the script defines one), with a KX7M board at
# 4 MHz on the virtual board (COM1, Speed from $speed when set), and enters
# $work/bin. Needs $build, the build folder.
work=$(mktemp -d)
trap 'if declare -F on_exit >/dev/null; then on_exit; fi; rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/lib"
cp "$build/bin/tavroplay" "$work/bin/"
cp "$build/lib/libtavro.so" "$work/lib/"

# Writes the library's INI file for the board at a Speed (default 115200).
write_board_ini() {
    printf '[ftd2xx(COM1)]\nSLOT_00_CHIP_ID=38\nSLOT_00_CHIP_CLOCK=4000000\nSpeed=%s\n' \
        "${1:-115200}" >"$work/lib/libtavro.ini"
}
write_board_ini
export TAVRO_D2XX_MODULE=$build/lib/libtavro_virtualboard.so TAVRO_VB_PORTS=1 TAVRO_VB_MODEL=KX7M
cd "$work/bin"
