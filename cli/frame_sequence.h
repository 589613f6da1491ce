// Frame sequences on the command line: the frame rate that fixes the host's
// clock, the frames to render, and file names that carry a frame number the
// way oiiotool writes them.
//
// Names: in the file name (not the folders), a run of n '#' stands for the
// frame number padded with zeros to 4n digits ("#" four, "##" eight, "####"
// sixteen, as oiiotool counts them), and "%0Nd" (or "%d") for it padded to N
// digits, printf-style: "shot.#.png" and "shot.%04d.png" both name frame 7
// "shot.0007.png", frame -3 "shot.-003.png". A longer number is never cut.
// A run of n '@' is the frame number padded to n digits, as oiiotool reads it,
// where a range of frames is in effect (--frames given): without one, names
// such as "logo@2x.png" keep meaning the one file they say.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velkorramp {

// Frames a second as a fraction num/den, reduced: 24/1, 30000/1001.
struct FrameRate {
    std::uint32_t num = 24;
    std::uint32_t den = 1;
};

inline constexpr double kMaxFrameRate = 1000.0;

// "24", "30000/1001" or a decimal ("29.97" is 2997/100, exactly); more than 0
// and at most kMaxFrameRate frames a second, num and den at most 2^31 - 1.
FrameRate parse_frame_rate(std::string_view option, std::string_view text);
// "24", "30000/1001".
std::string frame_rate_text(const FrameRate& rate);

// The largest frame number whose time fits the host's 32-bit clock at this
// rate (frame * den); frames run from -max_frame to max_frame.
int max_frame(const FrameRate& rate);

// Frames of one range: first, first + step, ... up to last; the step is
// negative when the range counts down.
struct FrameRange {
    int first = 1;
    int last = 1;
    int step = 1;
    int count() const { return (last - first) / step + 1; }
    int frame(int i) const { return first + i * step; }
};

// "FIRST-LAST", "FIRST-LASTxSTEP" or a single frame "N"; whole numbers, STEP >=
// 1, every frame within max_frame(rate) of 0; a FIRST above LAST counts down
// ("10-1x3" is 10, 7, 4, 1). Negative frames are written with their sign:
// "-5-5", "-10--2x2".
FrameRange parse_frames(std::string_view option, std::string_view text, const FrameRate& rate);

// The most frames one run renders.
inline constexpr int kMaxRunFrames = 1000000;

// Frame ranges separated by commas, as oiiotool takes them: "1,3,7",
// "1-10x2", "5-1", "1-3,10,20-16x2". The frames in the order given, each at
// most once, at most kMaxRunFrames of them.
std::vector<int> parse_frame_list(std::string_view option, std::string_view text,
                                  const FrameRate& rate);

// "frame 7", "frames 1 to 100", "frames 1 to 99 every 2", "frames 5 to 1".
std::string frames_text(const FrameRange& range);
// "frame 7", "frames 1 to 100", "3 frames from 1 to 7".
std::string frames_text(const std::vector<int>& frames);

// A file name that may hold a frame number.
class FileSequence {
public:
    FileSequence() = default;
    // A usage failure (naming `option`) when the file name holds more than one
    // frame number; '@' counts only with `at_signs`.
    FileSequence(std::string_view option, std::filesystem::path path, bool at_signs = false);

    // True when the name holds a frame number.
    bool numbered() const { return digits_ > 0; }
    // The name of frame `frame`; the path itself when it is not numbered.
    std::filesystem::path name(int frame) const;
    const std::filesystem::path& pattern() const { return pattern_; }
    // The frames whose files exist in the name's folder, in increasing order.
    std::vector<int> existing_frames() const;

private:
    std::filesystem::path pattern_;
    std::string before_;  // the whole path up to the frame number
    std::string after_;
    int digits_ = 0;  // 0: no frame number
};

}  // namespace velkorramp
