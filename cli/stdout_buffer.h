// Standard output as a stream that remembers why a write failed.
//
// What the tool prints (help, the control listing, the About text) is a result
// like a written frame: a full disk or a closed pipe must be reported with the
// system's reason, which std::cout loses by the time its failure is seen.
#pragma once

#include <array>
#include <streambuf>

namespace velkorramp {

class DescriptorBuffer final : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd);
    ~DescriptorBuffer() override;
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

    // The errno of the first failed write, or 0.
    int error_number() const { return error_number_; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool drain();

    int fd_;
    int error_number_ = 0;
    std::array<char, 4096> buffer_{};
};

}  // namespace velkorramp
