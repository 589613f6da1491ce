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

ParsedOptions parse_options(std::span<const std::string> args, std::span<const OptionSpec> specs,
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
        const auto spec = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) {
            return name == s.name || (s.short_name != nullptr && name == s.short_name);
        });
        if (spec == specs.end()) {
            usage_error("unknown option \"" + name + "\" for velkorramp " + std::string(command) + help_hint);
        }
        if (parsed.has(spec->name)) {
            usage_error(std::string(spec->name) + " is given more than once");
        }
        if (spec->value == nullptr) {
            if (inline_value) usage_error(std::string(spec->name) + " takes no value");
        } else if (!inline_value) {
            if (i + 1 >= args.size()) {
                usage_error(std::string(spec->name) + " needs a value (" + spec->value + ")");
            }
            value = args[++i];
        }
        parsed.add(spec->name, value);
    }
    return parsed;
}

std::string options_help(std::span<const OptionSpec> specs)
{
    std::vector<std::string> left;
    std::size_t width = 0;
    for (const OptionSpec& s : specs) {
        std::string text = s.short_name != nullptr ? std::string(s.short_name) + ", " : std::string("    ");
        text += s.name;
        if (s.value != nullptr) text += std::string(" ") + s.value;
        width = std::max(width, text.size());
        left.push_back(std::move(text));
    }
    std::string help;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        help += "  " + left[i] + std::string(width - left[i].size() + 2, ' ') + specs[i].help + "\n";
    }
    return help;
}

}  // namespace velkorramp
