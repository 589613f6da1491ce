// A sequence split over a render farm: each machine runs the same command line
// with --chunk K/N and renders the K-th of N contiguous parts of the frame
// list; with --skip-existing a machine that starts again leaves the frames
// whose files are already whole.
//
// The frame list of F frames is cut at positions floor(k * F / N) for k = 0..N:
// chunk K holds the frames at positions floor((K-1) * F / N) up to, not
// including, floor(K * F / N). Every chunk is contiguous and holds floor(F/N)
// or ceil(F/N) frames, the longer ones spread evenly and the last one always
// among them when F is not a multiple of N (40 frames in 4 chunks: 10 each;
// 10 in 4: 2, 3, 2, 3). N may not exceed F, so no chunk is empty.
#pragma once

#include <string>
#include <string_view>

namespace velkorramp {

struct Chunk {
    int index = 1;  // K, 1..count
    int count = 1;  // N
};

// Positions [begin, end) in a frame list.
struct ChunkSpan {
    int begin = 0;
    int end = 0;
};

inline constexpr int kMaxChunks = 100000;

// "K/N": whole numbers, 1 <= K <= N <= kMaxChunks.
Chunk parse_chunk(std::string_view option, std::string_view text);

// The positions of `chunk` in a list of `frames` frames; a usage failure
// naming `option` and the list (`frames_said`, "frames 1 to 40") when the list
// has fewer frames than chunks.
ChunkSpan chunk_span(std::string_view option, const Chunk& chunk, int frames,
                     const std::string& frames_said);

// How a run with --skip-existing ended, for its exit code: every frame of the
// run rendered (0), some already whole and left as they were, the rest
// rendered (8), or all of them already whole (9).
int skipped_exit_code(int frames, int skipped);

}  // namespace velkorramp
