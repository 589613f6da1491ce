// The words of the tool's messages: how a name is quoted and how whatever a
// library, module or user handed over becomes part of one line.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velkorramp {

// "\"text\"": how a message shows a name, a path or a value as given.
std::string in_quotes(std::string_view text);
inline std::string in_quotes(const std::string& text) { return in_quotes(std::string_view(text)); }
inline std::string in_quotes(const char* text) { return in_quotes(std::string_view(text)); }
std::string in_quotes(const std::filesystem::path& path);

// The first line of a library's message, without blank lines before it or
// spaces after (a carriage return ends a line too): OpenImageIO's errors can
// span lines, the first saying what went wrong and the rest where.
std::string first_line(std::string text);

// Every line of a module's message, joined by spaces.
std::string joined_lines(std::string text);

// A failure is one line whatever a path or value held: control characters are
// shown escaped ("\n", "\x1b").
std::string printable(std::string_view text);

}  // namespace velkorramp
