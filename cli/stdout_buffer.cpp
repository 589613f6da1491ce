#include "cli/stdout_buffer.h"

#include <unistd.h>

#include <cerrno>

namespace velkorramp {

DescriptorBuffer::DescriptorBuffer(int fd) : fd_(fd)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DescriptorBuffer::~DescriptorBuffer() { drain(); }

bool DescriptorBuffer::drain()
{
    const char* next = pbase();
    while (next < pptr() && error_number_ == 0) {
        const ssize_t n = ::write(fd_, next, static_cast<size_t>(pptr() - next));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_number_ = n < 0 ? errno : EIO;
            break;
        }
        next += n;
    }
    // What could not be written is dropped: the failure is already recorded.
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return error_number_ == 0;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c)
{
    if (!drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int DescriptorBuffer::sync() { return drain() ? 0 : -1; }

}  // namespace velkorramp
