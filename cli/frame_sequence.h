// Frame sequences on the command line: the frame rate that fixes the host's
// clock, the frames to render, and file names that carry a frame number the
// way oiiotool writes them.
//
// Names: in the file name (not the folders), a run of n '#' stands for the
// frame number padded with zeros to 4n digits ("#" four, "##" eight, "####"
// sixteen, as oiiotool counts them), and "%0Nd" (or "%d") for it padded to N
// digits, printf-style: "shot.#.png" and "shot.%04d.png" both name frame 7
// "shot.0007.png", frame -3 "shot.-003.png". A longer number is never cut.
// '@' is not a frame number here (oiiotool reads it as one digit): names such
// as "logo@2x.png" keep meaning the one file they say.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

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

// The frames of a run: first, first + step, ... up to last.
struct FrameRange {
    int first = 1;
    int last = 1;
    int step = 1;
    int count() const { return (last - first) / step + 1; }
    int frame(int i) const { return first + i * step; }
};

// "FIRST-LAST", "FIRST-LASTxSTEP" or a single frame "N"; whole numbers, FIRST <=
// LAST, STEP >= 1, every frame within max_frame(rate) of 0. Negative frames
// are written with their sign: "-5-5", "-10--2x2".
FrameRange parse_frames(std::string_view option, std::string_view text, const FrameRate& rate);

// "frame 7", "frames 1 to 100", "frames 1 to 99 every 2".
std::string frames_text(const FrameRange& range);

// A file name that may hold a frame number.
class FileSequence {
public:
    FileSequence() = default;
    // A usage failure (naming `option`) when the file name holds more than one
    // frame number.
    FileSequence(std::string_view option, std::filesystem::path path);

    // True when the name holds a frame number.
    bool numbered() const { return digits_ > 0; }
    // The name of frame `frame`; the path itself when it is not numbered.
    std::filesystem::path name(int frame) const;
    const std::filesystem::path& pattern() const { return pattern_; }

private:
    std::filesystem::path pattern_;
    std::string before_;  // the whole path up to the frame number
    std::string after_;
    int digits_ = 0;  // 0: no frame number
};

}  // namespace velkorramp
