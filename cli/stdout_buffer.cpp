#include "cli/stdout_buffer.h"

#include <unistd.h>

#include <cerrno>

#include "cli/full_write.h"

namespace velkorramp {

DescriptorBuffer::DescriptorBuffer(int fd) : fd_(fd)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DescriptorBuffer::~DescriptorBuffer() { drain(); }

bool DescriptorBuffer::drain()
{
    if (error_number_ == 0 && pptr() > pbase())
        write_fully(fd_, pbase(), static_cast<std::size_t>(pptr() - pbase()), error_number_);
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
