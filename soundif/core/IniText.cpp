// IniText: see IniText.h.
#include "soundif/core/IniText.h"

#include <algorithm>

namespace {

constexpr std::string_view blanks = " \t\r\v\f";
constexpr std::string_view utf8Signature = "\xEF\xBB\xBF";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
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
    return trim(trimmed.substr(0, trimmed.find('=')));
}

} // namespace

IniText::IniText(std::string_view text) {
    if (text.starts_with(utf8Signature)) {
        signature = utf8Signature;
        text.remove_prefix(utf8Signature.size());
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const auto newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({std::string(text.substr(start)), ""});
            break;
        }
        std::string_view content = text.substr(start, newline - start);
        const bool crlf = !content.empty() && content.back() == '\r';
        if (crlf) content.remove_suffix(1);
        lines.push_back({std::string(content), crlf ? "\r\n" : "\n"});
        start = newline + 1;
    }
}

std::optional<std::string> IniText::sectionNameOf(std::size_t line) const {
    const std::string_view trimmed = trim(lines[line].content);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    const auto close = trimmed.rfind(']');
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(trim(trimmed.substr(1, close - 1)));
}

bool IniText::isKeyLine(std::size_t line) const {
    const std::string_view trimmed = trim(lines[line].content);
    return !trimmed.empty() && !isComment(trimmed) && !sectionNameOf(line);
}

std::vector<std::string> IniText::sections() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto name = sectionNameOf(i);
        if (!name || name->empty()) continue;
        const bool known = std::any_of(names.begin(), names.end(),
                                       [&](const std::string& n) { return sameName(n, *name); });
        if (!known) names.push_back(std::move(*name));
    }
    return names;
}

std::optional<std::size_t> IniText::findKey(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionNameOf(i)) {
            inSection = sameName(*name, section);
        } else if (inSection && isKeyLine(i) && sameName(keyOf(trim(lines[i].content)), key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniText::value(std::string_view section, std::string_view key) const {
    const auto line = findKey(section, key);
    if (!line) return std::nullopt;
    const std::string_view trimmed = trim(lines[*line].content);
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::string();
    return std::string(trim(trimmed.substr(equals + 1)));
}

std::string IniText::lineEnding() const {
    for (const Line& line : lines)
        if (!line.ending.empty()) return line.ending;
    return "\n";
}

void IniText::set(std::string_view section, std::string_view key, std::string_view value) {
    if (const auto found = findKey(section, key)) {
        std::string& content = lines[*found].content;
        const auto equals = content.find('=');
        if (equals == std::string::npos) {
            content.erase(content.find_last_not_of(blanks) + 1);
            content += '=';
        } else {
            const auto valueStart = content.find_first_not_of(" \t", equals + 1);
            content.erase(valueStart == std::string::npos ? content.size() : valueStart);
        }
        content += value;
        return;
    }
    const std::string ending = lineEnding();
    const std::string keyLine = std::string(key) + "=" + std::string(value);

    std::optional<std::size_t> insertAfter;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionNameOf(i)) {
            if (insertAfter) break;
            if (sameName(*name, section)) insertAfter = i;
        } else if (insertAfter && isKeyLine(i)) {
            insertAfter = i;
        }
    }
    if (insertAfter) {
        Line& before = lines[*insertAfter];
        Line added{keyLine, ending};
        if (before.ending.empty()) std::swap(before.ending, added.ending);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*insertAfter) + 1, added);
        return;
    }
    const bool finalNewline = lines.empty() || !lines.back().ending.empty();
    if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = ending;
    std::string header(1, '[');
    header.append(section).push_back(']');
    lines.push_back({std::move(header), ending});
    lines.push_back({keyLine, finalNewline ? ending : ""});
}

std::string IniText::text() const {
    std::string result = signature;
    for (const Line& line : lines)
        result += line.content + line.ending;
    return result;
}

std::int32_t parseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint32_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = magnitude * 10u + static_cast<std::uint32_t>(text[i] - '0');
    return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}
