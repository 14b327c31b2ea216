// The dialogs' texts mark a mnemonic letter with '&' before it, and "&&"
// stands for one '&', as in the classic dialog templates. These helpers turn
// such a text into what other toolkits want.
#pragma once

#include <string>
#include <string_view>

// The text as shown, without mnemonic marks: "&Interface:" gives
// "Interface:", "A&&B" gives "A&B". A '&' at the very end stays.
std::string withoutMnemonics(std::string_view text);

// The text with each mnemonic marked by an underscore instead, a literal
// underscore doubled: "&Setup" gives "_Setup", "A&&B" gives "A&B", "a_b"
// gives "a__b". A '&' at the very end stays.
std::string underscoreMnemonics(std::string_view text);
