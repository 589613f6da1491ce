// Frame files: what one build of the module rendered, read back by another
// build's comparison exactly as written; damaged files are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hostcheck/frame_file.h"

namespace {

using velkor::hostcheck::compare_frames;
using velkor::hostcheck::Frame;
using velkor::hostcheck::FrameError;
using velkor::hostcheck::read_frame;
using velkor::hostcheck::write_frame;

class FrameFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() /
               ("velkor-frames-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static Frame sample(std::uint32_t width, std::uint32_t height, std::uint32_t pixel_bytes)
    {
        Frame frame{width, height, pixel_bytes, 0x36316561, {}};
        for (std::uint32_t i = 0; i < width * height * pixel_bytes; ++i)
            frame.pixels.push_back(static_cast<std::uint8_t>(i * 37 + 11));
        return frame;
    }

    std::filesystem::path dir_;
};

TEST_F(FrameFile, RoundTripsEveryPixelSize)
{
    for (const std::uint32_t pixel_bytes : {4u, 8u, 16u}) {
        const Frame frame = sample(5, 3, pixel_bytes);
        write_frame(dir_ / "a.frame", frame);
        EXPECT_EQ(read_frame(dir_ / "a.frame"), frame);
    }
    write_frame(dir_ / "empty.frame", Frame{0, 0, 4, 0, {}});
    EXPECT_EQ(read_frame(dir_ / "empty.frame").pixels.size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "a.frame.partial"));
}

TEST_F(FrameFile, RefusesWhatDoesNotAddUp)
{
    Frame wrong = sample(4, 4, 4);
    wrong.pixels.pop_back();
    EXPECT_THROW(write_frame(dir_ / "wrong.frame", wrong), FrameError);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "wrong.frame"));

    write_frame(dir_ / "good.frame", sample(4, 4, 4));
    std::filesystem::resize_file(dir_ / "good.frame",
                                 std::filesystem::file_size(dir_ / "good.frame") - 1);
    EXPECT_THROW(read_frame(dir_ / "good.frame"), FrameError);

    std::ofstream(dir_ / "text.frame") << "not a frame at all, just text";
    EXPECT_THROW(read_frame(dir_ / "text.frame"), FrameError);
    EXPECT_THROW(read_frame(dir_ / "missing.frame"), FrameError);

    // A header that claims more than a frame can hold is refused before reading on.
    std::ofstream huge(dir_ / "huge.frame", std::ios::binary);
    huge.write("VKFRAME1\xff\xff\xff\xff\xff\xff\xff\xff\x10\0\0\0\0\0\0\0", 24);
    huge.close();
    EXPECT_THROW(read_frame(dir_ / "huge.frame"), FrameError);
}

TEST_F(FrameFile, ComparisonCountsPixelsAndFindsTheFirst)
{
    const Frame a = sample(7, 5, 8);
    EXPECT_TRUE(compare_frames(a, a).identical());

    Frame b = a;
    b.pixels[(2 * 7 + 3) * 8 + 7] ^= 1;  // one bit of pixel (3, 2)
    b.pixels[(4 * 7 + 6) * 8] ^= 0x80;   // and of pixel (6, 4)
    const auto comparison = compare_frames(a, b);
    EXPECT_FALSE(comparison.identical());
    EXPECT_EQ(comparison.pixels_differing, 2u);
    EXPECT_EQ(comparison.first_x, 3u);
    EXPECT_EQ(comparison.first_y, 2u);
    EXPECT_EQ(comparison.describe(), "2 pixels differ, the first at (3, 2)");

    Frame other_format = a;
    other_format.format = 0x32336561;
    EXPECT_FALSE(compare_frames(a, other_format).same_shape);
    EXPECT_FALSE(compare_frames(a, sample(5, 7, 8)).identical());
}

}  // namespace
