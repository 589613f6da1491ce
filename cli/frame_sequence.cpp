#include "cli/frame_sequence.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <limits>
#include <numeric>
#include <system_error>

#include "cli/failure.h"
#include "cli/message_text.h"
#include "cli/values.h"

namespace velkorramp {

namespace {

constexpr long long kLargest32 = std::numeric_limits<std::int32_t>::max();

bool all_digits(std::string_view text)
{
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return !text.empty();
}

// Where a signed frame number that starts at `from` ends.
std::size_t number_end(std::string_view text, std::size_t from)
{
    std::size_t at = from;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at;
}

}  // namespace

FrameRate parse_frame_rate(std::string_view option, std::string_view text)
{
    const std::string valid =
        "a rate N, N/D or a decimal (24, 30000/1001, 29.97), more than 0 and at most " +
        std::to_string(static_cast<int>(kMaxFrameRate)) + " frames a second";
    long long num = 0;
    long long den = 1;
    bool read = false;
    if (const std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        read = all_digits(text.substr(0, slash)) && all_digits(text.substr(slash + 1)) &&
               read_whole(text.substr(0, slash), num) && read_whole(text.substr(slash + 1), den);
    } else if (const std::size_t dot = text.find('.'); dot != std::string_view::npos) {
        // A decimal is the fraction it writes: 29.97 is 2997/100.
        const std::string_view whole = text.substr(0, dot);
        const std::string_view fraction = text.substr(dot + 1);
        read = (whole.empty() || all_digits(whole)) && all_digits(fraction) &&
               fraction.size() <= 9 && whole.size() <= 9;
        if (read) {
            long long w = 0;
            long long f = 0;
            read = (whole.empty() || read_whole(whole, w)) && read_whole(fraction, f);
            den = 1;
            for (std::size_t i = 0; i < fraction.size(); ++i) den *= 10;
            num = w * den + f;
        }
    } else {
        read = all_digits(text) && read_whole(text, num);
    }
    if (!read) usage_error(std::string(option) + ": " + in_quotes(text) + " is not " + valid);
    if (num < 1 || den < 1 || static_cast<double>(num) / static_cast<double>(den) > kMaxFrameRate) {
        usage_error(std::string(option) + ": " + in_quotes(text) +
                    " is outside the valid range: " + valid);
    }
    const long long common = std::gcd(num, den);
    num /= common;
    den /= common;
    if (num > kLargest32 || den > kLargest32) {
        usage_error(std::string(option) + ": " + in_quotes(text) + " is outside the valid range: " +
                    valid + ", N and D at most " + std::to_string(kLargest32) + " once reduced");
    }
    return FrameRate{static_cast<std::uint32_t>(num), static_cast<std::uint32_t>(den)};
}

std::string frame_rate_text(const FrameRate& rate)
{
    return rate.den == 1 ? std::to_string(rate.num)
                         : std::to_string(rate.num) + "/" + std::to_string(rate.den);
}

int max_frame(const FrameRate& rate)
{
    return static_cast<int>(kLargest32 / std::max<std::uint32_t>(rate.den, 1));
}

FrameRange parse_frames(std::string_view option, std::string_view text, const FrameRate& rate)
{
    const int largest = max_frame(rate);
    const std::string valid =
        "FIRST-LAST, FIRST-LASTxSTEP or one frame N, or several separated by commas (e.g. "
        "1-100, 1-99x2, 100-1, 1,3,7), with STEP at least 1 and frames from " +
        std::to_string(-largest) + " to " + std::to_string(largest) + " at " +
        frame_rate_text(rate) + " frames a second";
    const auto bad = [&]() {
        usage_error(std::string(option) + ": " + in_quotes(text) + " is not " + valid);
    };
    const auto outside = [&]() {
        usage_error(std::string(option) + ": " + in_quotes(text) +
                    " is outside the valid range: " + valid);
    };
    long long first = 0;
    long long last = 0;
    long long step = 1;
    const std::size_t first_end = number_end(text, 0);
    if (!read_whole(text.substr(0, first_end), first)) bad();
    last = first;
    if (first_end < text.size()) {
        if (text[first_end] != '-') bad();
        const std::size_t last_end = number_end(text, first_end + 1);
        if (!read_whole(text.substr(first_end + 1, last_end - first_end - 1), last)) bad();
        if (last_end < text.size()) {
            if (text[last_end] != 'x' || !read_whole(text.substr(last_end + 1), step)) bad();
        }
    }
    if (step < 1 || std::min(first, last) < -largest || std::max(first, last) > largest) outside();
    step = std::min(step, kLargest32);
    return FrameRange{static_cast<int>(first), static_cast<int>(last),
                      static_cast<int>(first > last ? -step : step)};
}

std::string frames_text(const FrameRange& range)
{
    if (range.count() == 1) return "frame " + std::to_string(range.first);
    std::string text = "frames " + std::to_string(range.first) + " to " +
                       std::to_string(range.frame(range.count() - 1));
    if (range.step > 1 || range.step < -1) text += " every " + std::to_string(std::abs(range.step));
    return text;
}

std::vector<int> parse_frame_list(std::string_view option, std::string_view text,
                                  const FrameRate& rate)
{
    std::vector<int> frames;
    std::set<int> seen;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view part = text.substr(start, comma - start);
        const FrameRange range = parse_frames(option, part, rate);
        if (static_cast<long long>(frames.size()) + range.count() > kMaxRunFrames) {
            usage_error(std::string(option) + ": " + in_quotes(text) + " is more than " +
                        std::to_string(kMaxRunFrames) + " frames; render it in several runs");
        }
        for (int i = 0; i < range.count(); ++i) {
            if (!seen.insert(range.frame(i)).second) {
                usage_error(std::string(option) + ": " + in_quotes(text) + " gives frame " +
                            std::to_string(range.frame(i)) + " more than once");
            }
            frames.push_back(range.frame(i));
        }
        if (comma == text.size()) return frames;
        start = comma + 1;
    }
}

std::string frames_text(const std::vector<int>& frames)
{
    if (frames.size() == 1) return "frame " + std::to_string(frames.front());
    const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
    if (static_cast<long long>(*high) - *low + 1 == static_cast<long long>(frames.size()) &&
        std::is_sorted(frames.begin(), frames.end()))
        return "frames " + std::to_string(*low) + " to " + std::to_string(*high);
    return std::to_string(frames.size()) + " frames from " + std::to_string(*low) + " to " +
           std::to_string(*high);
}

FileSequence::FileSequence(std::string_view option, std::filesystem::path path, bool at_signs)
    : pattern_(std::move(path))
{
    const std::string whole = pattern_.string();
    const std::string file = pattern_.filename().string();
    const std::size_t file_start = whole.size() - file.size();
    int found = 0;
    for (std::size_t i = 0; i < file.size();) {
        std::size_t end = i;
        int digits = 0;
        if (file[i] == '#') {
            while (end < file.size() && file[end] == '#') ++end;
            digits = 4 * static_cast<int>(end - i);
        } else if (file[i] == '@' && at_signs) {
            while (end < file.size() && file[end] == '@') ++end;
            digits = static_cast<int>(end - i);
        } else if (file[i] == '%') {
            // "%d" or "%0Nd"; any other '%' is part of the name.
            if (i + 1 < file.size() && file[i + 1] == 'd') {
                digits = 1;
                end = i + 2;
            } else if (i + 1 < file.size() && file[i + 1] == '0') {
                std::size_t at = i + 2;
                while (at < file.size() && at < i + 4 && file[at] >= '0' && file[at] <= '9') ++at;
                long long width = 0;
                if (at > i + 2 && at < file.size() && file[at] == 'd' &&
                    read_whole(std::string_view(file).substr(i + 2, at - i - 2), width) &&
                    width > 0) {
                    digits = static_cast<int>(width);
                    end = at + 1;
                }
            }
        }
        if (digits == 0) {
            ++i;
            continue;
        }
        if (++found > 1) {
            usage_error(
                std::string(option) + ": " + in_quotes(whole) +
                " holds more than one frame number; use one: # (4 digits), @@@ (3), %04d or %d");
        }
        before_ = whole.substr(0, file_start + i);
        after_ = whole.substr(file_start + end);
        digits_ = digits;
        i = end;
    }
}

std::vector<int> FileSequence::existing_frames() const
{
    std::vector<int> frames;
    if (!numbered()) return frames;
    const std::filesystem::path folder =
        pattern_.parent_path().empty() ? std::filesystem::path(".") : pattern_.parent_path();
    const std::string head = std::filesystem::path(before_ + "0").filename().string();
    const std::string prefix = head.substr(0, head.size() - 1);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.size() <= prefix.size() + after_.size() || file.rfind(prefix, 0) != 0 ||
            file.compare(file.size() - after_.size(), after_.size(), after_) != 0)
            continue;
        long long frame = 0;
        const std::string_view number =
            std::string_view(file).substr(prefix.size(),
                                          file.size() - prefix.size() - after_.size());
        // Only the name this pattern gives the frame: "7" is not frame 7 of "#".
        if (number.front() != '+' && read_whole(number, frame) && frame >= INT_MIN &&
            frame <= INT_MAX && name(static_cast<int>(frame)).filename() == file)
            frames.push_back(static_cast<int>(frame));
    }
    std::sort(frames.begin(), frames.end());
    return frames;
}

std::filesystem::path FileSequence::name(int frame) const
{
    if (!numbered()) return pattern_;
    // As printf's %0Nd: the sign first, then zeros up to the width.
    const std::string digits = std::to_string(frame < 0 ? -static_cast<long long>(frame) : frame);
    const std::string sign = frame < 0 ? "-" : "";
    const std::size_t used = sign.size() + digits.size();
    const std::size_t width = static_cast<std::size_t>(digits_);
    return std::filesystem::path(
        before_ + sign + std::string(width > used ? width - used : 0, '0') + digits + after_);
}

}  // namespace velkorramp
