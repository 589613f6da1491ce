#include "cli/full_write.h"

#include <unistd.h>

#include <cerrno>

namespace velkorramp {

std::size_t write_fully(int fd, const void* data, std::size_t size, int& error, std::int64_t offset)
{
    error = 0;
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = offset < 0
                              ? ::write(fd, bytes + done, size - done)
                              : ::pwrite(fd, bytes + done, size - done,
                                         static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace velkorramp
