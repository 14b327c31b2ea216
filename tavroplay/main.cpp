// tavroplay: plays VGM files on the sound chips of the boards that the
// sound-interface library offers; see Program.h and the README.
#include <string>
#include <vector>

#include "tavroplay/Program.h"

#ifdef _WIN32
#include "common/WideText.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(platform::utf8Text(argv[i]));
    return tavroplay::runProgram(arguments);
}
#else
int main(int argc, char** argv) {
    return tavroplay::runProgram(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
