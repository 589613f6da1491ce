// Writing a whole buffer to a descriptor, which may take several calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkorramp {

// Writes all `size` bytes of `data` to `fd` (with pwrite at `offset` when it is
// not negative), calling again after a partial or interrupted write and
// stopping at the first failure. Returns the bytes written; `error` is the
// failure's errno (EIO for a write that made no progress and named no reason),
// else 0.
std::size_t write_fully(int fd, const void* data, std::size_t size, int& error,
                        std::int64_t offset = -1);

}  // namespace velkorramp
