#include "cli/message_text.h"

#include <algorithm>

namespace velkorramp {

std::string in_quotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string in_quotes(const std::filesystem::path& path) { return in_quotes(path.string()); }

std::string first_line(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', '\n');
    text.erase(0, text.find_first_not_of("\n "));
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) text.resize(end);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string joined_lines(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::string printable(std::string_view text)
{
    std::string line;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\t') {
            line += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            line += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
        } else {
            line += c;
        }
    }
    return line;
}

}  // namespace velkorramp
