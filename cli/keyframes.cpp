#include "cli/keyframes.h"

#include <set>
#include <system_error>

#include "cli/failure.h"
#include "cli/message_text.h"
#include "cli/values.h"

namespace velkorramp {

namespace {

}  // namespace

bool is_keyed(std::string_view text) { return text.find('@') != std::string_view::npos; }

std::vector<KeyText> parse_keys(std::string_view option, std::string_view text, int max_frame)
{
    const std::string form =
        "VALUE@FRAME[:ease],VALUE@FRAME,... (e.g. 0@1:ease,360@100), frames whole numbers from " +
        std::to_string(-max_frame) + " to " + std::to_string(max_frame);
    const auto bad = [&](std::string_view key, const std::string& why) {
        usage_error(std::string(option) + ": " + in_quotes(key) + " in " + in_quotes(text) + " " +
                    why + "; use " + form);
    };
    std::vector<KeyText> keys;
    std::set<int> frames;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t at = text.find('@', start);
        if (at == std::string_view::npos) {
            bad(text.substr(start), "has no @FRAME");
        }
        std::size_t end = text.find(',', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view key = text.substr(start, end - start);
        const std::string_view value = text.substr(start, at - start);
        std::string_view frame_text = text.substr(at + 1, end - at - 1);
        KeySides sides;
        if (const std::size_t colon = frame_text.find(':'); colon != std::string_view::npos) {
            const std::optional<KeySides> named = parse_key_sides(frame_text.substr(colon + 1));
            if (!named) {
                usage_error(std::string(option) + ": " + in_quotes(key) + " in " + in_quotes(text) +
                            ": " + in_quotes(frame_text.substr(colon + 1)) +
                            " is not an interpolation; use " + kKeySideForms);
            }
            sides = *named;
            frame_text = frame_text.substr(0, colon);
        }
        if (value.empty()) bad(key, "has no value");
        long long frame = 0;
        if (!read_whole(frame_text, frame)) bad(key, "has no whole frame number after @");
        if (frame < -max_frame || frame > max_frame)
            bad(key, "has a frame outside the valid range");
        if (!frames.insert(static_cast<int>(frame)).second) bad(key, "repeats a frame");
        keys.push_back(KeyText{std::string(value), static_cast<int>(frame), sides});
        start = end + 1;
    }
    return keys;
}

}  // namespace velkorramp
