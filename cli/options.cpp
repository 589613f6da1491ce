#include "cli/options.h"

#include <algorithm>

#include "cli/failure.h"

namespace velkorramp {

namespace {

// Edits (insertions, deletions, substitutions) from one text to the other.
std::size_t edit_distance(std::string_view a, std::string_view b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "; did you mean --length?" for the known option nearest to `name`.
std::string nearest_hint(std::string_view name, std::span<const OptionSpec> option_specs)
{
    std::vector<std::string_view> names;
    for (const OptionSpec& s : option_specs) names.emplace_back(s.name);
    const std::string nearest = nearest_word(name, names);
    return nearest.empty() ? std::string() : "; did you mean " + nearest + "?";
}

// "--start-colour" is "--start-color", "--centre" "--center".
std::string american_name(std::string name)
{
    for (const auto& [british, american] :
         {std::pair<std::string_view, std::string_view>{"colour", "color"}, {"centre", "center"}}) {
        for (std::size_t at = name.find(british); at != std::string::npos; at = name.find(british))
            name.replace(at, british.size(), american);
    }
    return name;
}

const OptionSpec* find_spec(std::span<const OptionSpec> option_specs, const std::string& name)
{
    const auto option =
        std::find_if(option_specs.begin(), option_specs.end(), [&](const OptionSpec& s) {
            return name == s.name || (s.short_name != nullptr && name == s.short_name);
        });
    return option == option_specs.end() ? nullptr : &*option;
}

}  // namespace

std::string nearest_word(std::string_view text, std::span<const std::string_view> candidates)
{
    std::string_view best;
    std::size_t best_distance = 0;
    std::string_view prefixed;
    int prefix_count = 0;
    for (const std::string_view candidate : candidates) {
        const std::size_t distance = edit_distance(text, candidate);
        if (best.empty() || distance < best_distance) {
            best = candidate;
            best_distance = distance;
        }
        if (text.size() > 3 && candidate.substr(0, text.size()) == text) {
            prefixed = candidate;
            ++prefix_count;
        }
    }
    if (prefix_count == 1) return std::string(prefixed);
    if (!best.empty() && best_distance <= 3 && best_distance * 3 <= text.size())
        return std::string(best);
    return {};
}

void ParsedOptions::add(std::string name, std::string value)
{
    std::erase_if(values_, [&](const auto& entry) { return entry.first == name; });
    values_.emplace_back(std::move(name), std::move(value));
}

const std::string* ParsedOptions::find(std::string_view name) const
{
    for (const auto& [key, value] : values_) {
        if (key == name) return &value;
    }
    return nullptr;
}

ParsedOptions parse_options(std::span<const std::string> args,
                            std::span<const OptionSpec> option_specs, std::string_view command)
{
    const std::string help_hint = "; see velkorramp " + std::string(command) + " --help";
    ParsedOptions parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name = arg;
        std::string value;
        bool inline_value = false;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                inline_value = true;
            }
        } else if (arg.empty() || arg[0] != '-' || arg.size() == 1) {
            // A bare name with an extension is an output file without its -o.
            const bool file = arg.find('.') != std::string::npos && find_spec(option_specs, "-o");
            usage_error("unexpected argument \"" + arg + "\" for velkorramp " +
                        std::string(command) +
                        (file ? "; did you mean -o " + arg + "?" : help_hint));
        }
        const OptionSpec* option = find_spec(option_specs, name);
        if (option == nullptr && name.rfind("--", 0) == 0)
            option = find_spec(option_specs, american_name(name));
        if (option == nullptr) {
            const std::string hint = nearest_hint(name, option_specs);
            usage_error("unknown option \"" + name + "\" for velkorramp " + std::string(command) +
                        (hint.empty() ? help_hint : hint));
        }
        if (option->value == nullptr) {
            if (inline_value) usage_error(std::string(option->name) + " takes no value");
        } else if (!inline_value) {
            if (i + 1 >= args.size()) {
                usage_error(std::string(option->name) + " needs a value (" + option->value + ")");
            }
            value = args[++i];
        }
        parsed.add(option->name, value);
    }
    return parsed;
}

std::string options_help(std::span<const OptionSpec> option_specs)
{
    std::vector<std::string> left;
    std::size_t width = 0;
    for (const OptionSpec& s : option_specs) {
        std::string text =
            s.short_name != nullptr ? std::string(s.short_name) + ", " : std::string("    ");
        text += s.name;
        if (s.value != nullptr) text += std::string(" ") + s.value;
        width = std::max(width, text.size());
        left.push_back(std::move(text));
    }
    std::string help;
    for (std::size_t i = 0; i < option_specs.size(); ++i) {
        help += "  " + left[i] + std::string(width - left[i].size() + 2, ' ') +
                option_specs[i].help + "\n";
    }
    return help;
}

}  // namespace velkorramp
