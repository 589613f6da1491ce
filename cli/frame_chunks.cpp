#include "cli/frame_chunks.h"

#include <cstdint>

#include "cli/failure.h"
#include "cli/message_text.h"
#include "cli/values.h"

namespace velkorramp {

Chunk parse_chunk(std::string_view option, std::string_view text)
{
    const std::string valid =
        "K/N, the K-th of N chunks of the frames, whole numbers with 1 <= K <= N <= " +
        std::to_string(kMaxChunks) + " (e.g. 3/10)";
    const std::size_t slash = text.find('/');
    long long index = 0;
    long long count = 0;
    // Counts, so digits only: "-1/4" and "+1/4" are not chunks.
    const auto read_count = [](std::string_view part, long long& value) {
        return !part.empty() && part.front() >= '0' && part.front() <= '9' &&
               read_whole(part, value);
    };
    if (slash == std::string_view::npos || !read_count(text.substr(0, slash), index) ||
        !read_count(text.substr(slash + 1), count)) {
        usage_error(std::string(option) + ": " + in_quotes(text) + " is not " + valid);
    }
    if (index < 1 || count < 1 || index > count || count > kMaxChunks) {
        usage_error(std::string(option) + ": " + in_quotes(text) +
                    " is outside the valid range: " + valid);
    }
    return Chunk{static_cast<int>(index), static_cast<int>(count)};
}

ChunkSpan chunk_span(std::string_view option, const Chunk& chunk, int frames,
                     const std::string& frames_said)
{
    if (chunk.count > frames) {
        usage_error(std::string(option) + ": " + std::to_string(chunk.index) + "/" +
                    std::to_string(chunk.count) + " splits " + frames_said + " (" +
                    std::to_string(frames) + (frames == 1 ? " frame" : " frames") +
                    ") into more chunks than frames; N is 1 to " + std::to_string(frames));
    }
    const auto cut = [&](int k) {
        return static_cast<int>(static_cast<std::int64_t>(k) * frames / chunk.count);
    };
    return ChunkSpan{cut(chunk.index - 1), cut(chunk.index)};
}

int skipped_exit_code(int frames, int skipped)
{
    if (skipped == 0) return static_cast<int>(ExitCode::ok);
    return static_cast<int>(skipped == frames ? ExitCode::all_skipped : ExitCode::some_skipped);
}

}  // namespace velkorramp
