// IniText: a small line-based reader and editor of INI text, the engine under
// IniFile on POSIX systems. It reads by the rules of the platform's
// private-profile reader, which the Windows build uses directly:
// - lines end at CR LF, LF or a lone CR; blank lines are ignored;
// - "[name]" starts a section (the name runs to the last ']' of the line and
//   is trimmed); lines before the first section belong to a nameless one;
// - every other line is a key, "key=value", or a key alone without '=';
//   lines starting with ';' or '#' are comments to a person but keys to the
//   reader (they never match a name the library asks for);
// - names match without regard to ASCII case, and the names asked for are
//   trimmed as well; names and values end at a NUL character;
// - a section name that appears twice is listed twice, but only its first
//   occurrence is read, and there the first matching key wins;
// - a value is trimmed and loses one pair of matching surrounding quotes; a key
//   without '=' reads as absent (and still hides a later key of its name);
// - blanks are space, tab, vertical tab, form feed and Ctrl+Z (0x1A);
// - a UTF-8 signature (byte order mark) at the start is not part of the first
//   line.
//
// Editing keeps every byte it does not have to change: line endings,
// comments, unknown keys and sections, and a missing final newline. Unlike the
// platform it reads no UTF-16 files, it has no limits on line or name length,
// and a quoted number of exactly 29 characters keeps its last digit, which the
// platform reader cuts off.
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

    // Section names in file order, repeats included (each as spelled there).
    // Nameless sections are not listed.
    std::vector<std::string> sections() const;

    // The value of the first matching key, trimmed and unquoted; nothing when
    // the section or key is absent or the key has no '='.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // The value read as an integer (parseProfileInt); fallback when value()
    // gives nothing or an empty text.
    std::int32_t intValue(std::string_view section, std::string_view key,
                          std::int32_t fallback) const;

    // Replaces the value of the key that value() finds, in place; a missing
    // key is added after the last key line (not a comment) of the section's
    // first occurrence, a missing section at the end of the text.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // The whole text, as edited.
    std::string text() const;

private:
    struct Line {
        std::string content; // without its line ending
        std::string ending;  // "\r\n", "\n", "\r", or "" for a last line without one
    };
    // Lines [begin, end) of a section's first occurrence, after its header.
    struct Range {
        std::size_t begin;
        std::size_t end;
    };
    std::optional<std::string> sectionNameOf(std::size_t line) const;
    std::optional<Range> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(std::string_view section, std::string_view key) const;
    std::string lineEnding() const;

    std::string signature_; // a UTF-8 signature that opened the text, kept as it was
    std::vector<Line> lines_;
};

// Reads an integer as the platform's profile reader does: of the first 29
// characters (it reads through a 30-character buffer), up to a NUL, control
// characters and blanks are skipped, then an optional sign, then a lowercase
// "0x", "0o" or "0b" selects base 16, 8 or 2 (else base 10), then digits of
// that base (letters for those above 9) up to the first other character. No
// digits read as 0. The digits are accumulated in unsigned 32-bit arithmetic,
// so values beyond 32 bits wrap: "4294967297" reads as 1, "-1" as -1.
std::int32_t parseProfileInt(std::string_view text);

// Reads a plain decimal integer, as the C library reads one: leading blanks
// (space, tab, line breaks, vertical tab, form feed), an optional sign, then
// decimal digits up to the first other character. No prefix selects another
// base, and every digit counts however many leading zeros come first. No
// digits read as 0; values beyond the 32-bit range saturate. The port numbers
// of board section names are read this way.
std::int32_t parseDecimalInt(std::string_view text);
