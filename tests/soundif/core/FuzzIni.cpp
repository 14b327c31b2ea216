// libFuzzer target: arbitrary bytes as an INI text, read and edited the ways
// the library reads and edits its file. Edits must keep the text before the
// edited line and must be readable back.
#include "soundif/core/IniText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniText ini(text);
    if (ini.text() != text) std::abort();
    for (const std::string& name : ini.sections()) {
        if (auto value = ini.value(name, "Speed")) parseProfileInt(*value);
    }
    ini.set("ftd2xx(COM3)", "Speed", "115200");
    ini.set("ftd2xx(COM3)", "SLOT_00_CHIP_ID", "38");
    if (ini.value("ftd2xx(com3)", "speed") != "115200") std::abort();
    if (ini.value("FTD2XX(COM3)", "slot_00_chip_id") != "38") std::abort();
    IniText reread(ini.text());
    if (reread.value("ftd2xx(COM3)", "Speed") != "115200") std::abort();
    return 0;
}
