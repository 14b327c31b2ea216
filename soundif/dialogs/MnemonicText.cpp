// Mnemonic marks of dialog texts; see MnemonicText.h.
#include "soundif/dialogs/MnemonicText.h"

std::string withoutMnemonics(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        // A mark is dropped and the character after it kept, '&' included.
        if (text[at] == '&' && at + 1 < text.size()) ++at;
        out += text[at];
    }
    return out;
}

std::string underscoreMnemonics(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '&' && at + 1 < text.size()) {
            if (text[at + 1] == '&') {
                out += '&';
                ++at;
            } else {
                out += '_';
            }
        } else {
            out += c == '_' ? "__" : std::string(1, c);
        }
    }
    return out;
}
