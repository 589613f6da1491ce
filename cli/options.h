// The command line of one subcommand: "--name VALUE", "--name=VALUE" or a short
// "-o VALUE", no positional arguments. An option given again replaces its
// earlier value (a wrapper script's default yields to what follows it), and
// British spellings of option names are the same options ("--start-colour",
// "--centre").
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkorramp {

struct OptionSpec {
    const char* name;        // "--output"
    const char* short_name;  // "-o", or null
    const char* value;       // "FILE", or null for a flag
    const char* help;        // one line
};

inline constexpr OptionSpec kHelpOption{"--help", "-h", nullptr, "show this help"};

class ParsedOptions {
public:
    // The value given for `name` (its long name), or null.
    const std::string* find(std::string_view name) const;
    bool has(std::string_view name) const { return find(name) != nullptr; }
    // Options in the order given, by long name.
    const std::vector<std::pair<std::string, std::string>>& all() const { return values_; }

    // Replaces an earlier value of `name`, which then counts as given last.
    void add(std::string name, std::string value);

private:
    std::vector<std::pair<std::string, std::string>> values_;
};

// Usage failure for an unknown option, a missing value or a stray argument;
// `command` ("render") names where help is.
ParsedOptions parse_options(std::span<const std::string> args,
                            std::span<const OptionSpec> option_specs, std::string_view command);

// The candidate nearest to `text` when it is near enough to be a slip (a few
// edits, or the start of exactly one candidate), else "".
std::string nearest_word(std::string_view text, std::span<const std::string_view> candidates);

// "  -o, --output FILE      help" lines, aligned.
std::string options_help(std::span<const OptionSpec> option_specs);

}  // namespace velkorramp
