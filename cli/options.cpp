#include "cli/options.h"

#include <algorithm>

#include "cli/failure.h"

namespace velkorramp {

const std::string* ParsedOptions::find(std::string_view name) const
{
    for (const auto& [key, value] : values_) {
        if (key == name) return &value;
    }
    return nullptr;
}

ParsedOptions parse_options(std::span<const std::string> args, std::span<const OptionSpec> option_specs,
                            std::string_view command)
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
            usage_error("unexpected argument \"" + arg + "\" for velkorramp " + std::string(command) + help_hint);
        }
        const auto option = std::find_if(option_specs.begin(), option_specs.end(), [&](const OptionSpec& s) {
            return name == s.name || (s.short_name != nullptr && name == s.short_name);
        });
        if (option == option_specs.end()) {
            usage_error("unknown option \"" + name + "\" for velkorramp " + std::string(command) + help_hint);
        }
        if (parsed.has(option->name)) {
            usage_error(std::string(option->name) + " is given more than once");
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
        std::string text = s.short_name != nullptr ? std::string(s.short_name) + ", " : std::string("    ");
        text += s.name;
        if (s.value != nullptr) text += std::string(" ") + s.value;
        width = std::max(width, text.size());
        left.push_back(std::move(text));
    }
    std::string help;
    for (std::size_t i = 0; i < option_specs.size(); ++i) {
        help += "  " + left[i] + std::string(width - left[i].size() + 2, ' ') + option_specs[i].help + "\n";
    }
    return help;
}

}  // namespace velkorramp
