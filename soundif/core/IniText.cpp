// IniText: see IniText.h.
#include "soundif/core/IniText.h"

#include <algorithm>

namespace {

constexpr std::string_view blanks = " \t\v\f\x1a";
constexpr std::string_view utf8Signature = "\xEF\xBB\xBF";
// The platform reads integers through a buffer of 30 characters.
constexpr std::size_t integerTextLimit = 29;

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Names and values are C strings to the platform: a NUL ends them.
std::string_view untilNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

std::string_view nameOf(std::string_view text) {
    return untilNul(trim(text));
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool isComment(std::string_view trimmed) {
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

std::string_view keyOf(std::string_view trimmed) {
    return nameOf(trimmed.substr(0, trimmed.find('=')));
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

} // namespace

IniText::IniText(std::string_view text) {
    if (text.starts_with(utf8Signature)) {
        signature_ = utf8Signature;
        text.remove_prefix(utf8Signature.size());
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines_.push_back({std::string(text.substr(start)), ""});
            break;
        }
        const std::size_t endingLength = text.substr(end, 2) == "\r\n" ? 2 : 1;
        lines_.push_back({std::string(text.substr(start, end - start)),
                          std::string(text.substr(end, endingLength))});
        start = end + endingLength;
    }
}

std::optional<std::string> IniText::sectionNameOf(std::size_t line) const {
    const std::string_view trimmed = trim(lines_[line].content);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    const auto close = trimmed.rfind(']');
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(nameOf(trimmed.substr(1, close - 1)));
}

std::vector<std::string> IniText::sections() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto name = sectionNameOf(i);
        if (name && !name->empty()) names.push_back(std::move(*name));
    }
    return names;
}

std::optional<IniText::Range> IniText::findSection(std::string_view section) const {
    const std::string_view wanted = nameOf(section);
    std::optional<Range> found;
    if (wanted.empty()) found = Range{0, 0};
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (const auto name = sectionNameOf(i)) {
            if (found) {
                found->end = i;
                return found;
            }
            if (sameName(*name, wanted)) found = Range{i + 1, i + 1};
        }
    }
    if (found) found->end = lines_.size();
    return found;
}

std::optional<std::size_t> IniText::findKey(std::string_view section, std::string_view key) const {
    const auto range = findSection(section);
    if (!range) return std::nullopt;
    const std::string_view wanted = nameOf(key);
    for (std::size_t i = range->begin; i < range->end; ++i) {
        const std::string_view trimmed = trim(lines_[i].content);
        if (!trimmed.empty() && sameName(keyOf(trimmed), wanted)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniText::value(std::string_view section, std::string_view key) const {
    const auto line = findKey(section, key);
    if (!line) return std::nullopt;
    const std::string_view trimmed = trim(lines_[*line].content);
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return std::string(unquoted(nameOf(trimmed.substr(equals + 1))));
}

std::int32_t IniText::intValue(std::string_view section, std::string_view key,
                               std::int32_t fallback) const {
    const auto text = value(section, key);
    return text && !text->empty() ? parseProfileInt(*text) : fallback;
}

std::string IniText::lineEnding() const {
    for (const Line& line : lines_)
        if (!line.ending.empty()) return line.ending;
    return "\n";
}

void IniText::set(std::string_view section, std::string_view key, std::string_view value) {
    if (const auto found = findKey(section, key)) {
        std::string& content = lines_[*found].content;
        const auto equals = content.find('=');
        if (equals == std::string::npos) {
            content.erase(content.find_last_not_of(blanks) + 1);
            content += '=';
        } else {
            const auto valueStart = content.find_first_not_of(blanks, equals + 1);
            content.erase(valueStart == std::string::npos ? content.size() : valueStart);
        }
        content += value;
        return;
    }
    const std::string ending = lineEnding();
    const std::string keyLine = std::string(nameOf(key)) + "=" + std::string(value);

    if (const auto range = findSection(section)) {
        // After the last key line, or right after the header.
        std::size_t insertAt = range->begin;
        for (std::size_t i = range->begin; i < range->end; ++i) {
            const std::string_view trimmed = trim(lines_[i].content);
            if (!trimmed.empty() && !isComment(trimmed)) insertAt = i + 1;
        }
        Line added{keyLine, ending};
        if (insertAt > 0 && lines_[insertAt - 1].ending.empty())
            std::swap(lines_[insertAt - 1].ending, added.ending);
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), added);
        return;
    }
    const bool finalNewline = lines_.empty() || !lines_.back().ending.empty();
    if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = ending;
    std::string header(1, '[');
    header.append(nameOf(section)).push_back(']');
    lines_.push_back({std::move(header), ending});
    lines_.push_back({keyLine, finalNewline ? ending : ""});
}

std::string IniText::text() const {
    std::string result = signature_;
    for (const Line& line : lines_)
        result += line.content + line.ending;
    return result;
}

std::int32_t parseProfileInt(std::string_view text) {
    text = untilNul(text.substr(0, integerTextLimit));
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char prefix = text[i + 1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) i += 2;
    }
    std::uint32_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i]);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) break;
        magnitude = magnitude * base + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}

std::int32_t parseDecimalInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // The magnitude saturates one past the largest value, which a minus sign
    // still makes the smallest.
    constexpr std::int64_t limit = std::int64_t{INT32_MAX} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min(limit, magnitude * 10 + (text[i] - '0'));
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(std::min<std::int64_t>(magnitude, INT32_MAX));
}
