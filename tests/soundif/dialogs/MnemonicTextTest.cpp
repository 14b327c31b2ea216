// The dialogs' '&' mnemonic marks turned into shown text and into the
// underscore marks of other toolkits.
#include "soundif/dialogs/MnemonicText.h"

#include <gtest/gtest.h>

namespace {

TEST(MnemonicText, AMarkIsDroppedAndTheLetterAfterItKept) {
    EXPECT_EQ(withoutMnemonics("&Interface:"), "Interface:");
    EXPECT_EQ(withoutMnemonics("Sound chip &setting"), "Sound chip setting");
    EXPECT_EQ(withoutMnemonics("Rock && Roll"), "Rock & Roll");
    EXPECT_EQ(withoutMnemonics("&&&Close"), "&Close");
    EXPECT_EQ(withoutMnemonics("a_b"), "a_b");
    EXPECT_EQ(withoutMnemonics("end&"), "end&");
    EXPECT_EQ(withoutMnemonics(""), "");
}

TEST(MnemonicText, UnderscoresMarkMnemonicsAndLiteralUnderscoresAreDoubled) {
    EXPECT_EQ(underscoreMnemonics("&Setup"), "_Setup");
    EXPECT_EQ(underscoreMnemonics("Rock && Roll"), "Rock & Roll");
    EXPECT_EQ(underscoreMnemonics("SLOT_00 &Clock"), "SLOT__00 _Clock");
    EXPECT_EQ(underscoreMnemonics("end&"), "end&");
}

} // namespace
