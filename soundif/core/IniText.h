// IniText: a small line-based reader and editor of INI text, the engine under
// IniFile. It follows the private-profile rules the library relies on:
// "[section]" lines, "key=value" lines, comments starting with ';' or '#',
// blank lines; section and key names match without regard to ASCII case;
// names and values are trimmed of blanks; the first occurrence of a key wins
// for reads, and a section name that appears twice continues the first one.
// A line that is neither a section, a comment nor blank is a key, with an
// empty value when it has no '='. A UTF-8 signature (byte order mark) at the
// start of the text, as some editors write one, is not part of the first line.
//
// Editing keeps every byte it does not have to change: line endings (CRLF or
// LF), comments, unknown keys and sections, and a missing final newline.
// Unlike the platform reader it has no limits on line or name length and it
// never strips quotes from values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniText {
public:
    explicit IniText(std::string_view text);

    // Section names in file order, each name once (the spelling of its first
    // occurrence). A nameless "[]" section is not listed.
    std::vector<std::string> sections() const;

    // The trimmed value of the first matching key, or nothing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the value of the key that value() reads, in place; a missing
    // key is added after the last key line of the section's first occurrence,
    // a missing section at the end of the text.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // The whole text, as edited.
    std::string text() const;

private:
    struct Line {
        std::string content; // without its line ending
        std::string ending;  // "\r\n", "\n", or "" for a last line without one
    };
    std::optional<std::string> sectionNameOf(std::size_t line) const;
    bool isKeyLine(std::size_t line) const;
    std::optional<std::size_t> findKey(std::string_view section, std::string_view key) const;
    std::string lineEnding() const;

    std::string signature; // a UTF-8 signature that opened the text, kept as it was
    std::vector<Line> lines;
};

// Reads an integer as the platform's profile reader does: leading blanks, an
// optional sign, then decimal digits up to the first other character. No
// digits read as 0. Values beyond 32 bits wrap modulo 2^32 (the digits are
// accumulated in unsigned 32-bit arithmetic), so "4294967297" reads as 1 and
// "-1" as -1.
std::int32_t parseProfileInt(std::string_view text);
