// Running the built velkorramp as a process, reading its files back with
// OpenImageIO, and rendering the same frame in-process through the simulated
// host for comparison.
#pragma once

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "simhost/session.h"

namespace cli_test {

namespace fs = std::filesystem;

struct ProcessResult {
    int exit_code = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each test gets an empty folder of its own, removed afterwards.
class ToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("velkorramp-" + std::to_string(getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }

    // velkorramp with these arguments, each passed as one word; `env` is
    // prepended to the command ("NAME=value ").
    ProcessResult run(const std::vector<std::string>& args, const std::string& env = "") const
    {
        std::string command = env + "'" + std::string(VELKORRAMP_PATH) + "'";
        for (const std::string& a : args) command += " '" + a + "'";
        const fs::path out = dir_ / ".stdout";
        const fs::path err = dir_ / ".stderr";
        command += " >'" + out.string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        ProcessResult result;
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = slurp(out);
        result.err = slurp(err);
        fs::remove(out);
        fs::remove(err);
        return result;
    }

    // Files in the test's folder other than the runner's own.
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path dir_;
};

// An image file as stored: size, channels and samples in the file's own type.
struct FileImage {
    int width = 0;
    int height = 0;
    int channels = 0;
    OIIO::TypeDesc format;
    std::vector<std::uint8_t> u8;
    std::vector<std::uint16_t> u16;
    std::vector<float> f32;
};

inline FileImage read_file(const fs::path& path)
{
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &config);
    FileImage image;
    if (!in) {
        ADD_FAILURE() << "cannot read " << path << ": " << OIIO::geterror();
        return image;
    }
    const OIIO::ImageSpec image_spec = in->spec_dimensions(0);
    image.width = image_spec.width;
    image.height = image_spec.height;
    image.channels = image_spec.nchannels;
    image.format = image_spec.format;
    const std::size_t n = static_cast<std::size_t>(image_spec.width) * image_spec.height * image_spec.nchannels;
    bool ok = false;
    if (image_spec.format == OIIO::TypeDesc::UINT8) {
        image.u8.resize(n);
        ok = in->read_image(0, 0, 0, image_spec.nchannels, OIIO::TypeDesc::UINT8, image.u8.data());
    } else if (image_spec.format == OIIO::TypeDesc::UINT16) {
        image.u16.resize(n);
        ok = in->read_image(0, 0, 0, image_spec.nchannels, OIIO::TypeDesc::UINT16, image.u16.data());
    } else {
        image.f32.resize(n);
        ok = in->read_image(0, 0, 0, image_spec.nchannels, OIIO::TypeDesc::FLOAT, image.f32.data());
    }
    EXPECT_TRUE(ok) << in->geterror();
    return image;
}

// The header of an image file as OpenImageIO reads it, with its metadata.
inline OIIO::ImageSpec read_spec(const fs::path& path)
{
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &config);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path << ": " << OIIO::geterror();
        return {};
    }
    return in->spec();
}

// Writes samples of the spec's type with its windows and attributes, as
// straight alpha where the format has a choice.
template <class Sample>
void write_file(const fs::path& path, OIIO::ImageSpec image_spec, const std::vector<Sample>& samples)
{
    const OIIO::TypeDesc type = image_spec.format;
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out);
    image_spec.attribute("oiio:UnassociatedAlpha", 1);
    ASSERT_TRUE(out->open(path.string(), image_spec)) << out->geterror();
    ASSERT_TRUE(out->write_image(type, samples.data())) << out->geterror();
    ASSERT_TRUE(out->close());
}

// The same for a plain image of one sample type.
template <class Sample>
void write_file(const fs::path& path, int width, int height, int channels, OIIO::TypeDesc type,
                const std::vector<Sample>& samples)
{
    write_file(path, OIIO::ImageSpec(width, height, channels, type), samples);
}

// The frame the simulated host renders in-process with the same module, layer
// size and control values (set by `controls`).
inline simhost::RenderResult reference_render(int layer_width, int layer_height,
                                              const std::function<void(simhost::Session&)>& controls,
                                              const simhost::RenderOptions& options)
{
    simhost::Session session;
    session.config().layer_width = layer_width;
    session.config().layer_height = layer_height;
    EXPECT_TRUE(session.load(VELKOR_MODULE_PATH));
    EXPECT_EQ(session.global_setup(), PF_Err_NONE);
    EXPECT_EQ(session.params_setup(), PF_Err_NONE);
    if (controls) controls(session);
    EXPECT_EQ(session.update_params_ui(), PF_Err_NONE);
    simhost::RenderResult result = session.render(options);
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_EQ(session.global_setdown(), PF_Err_NONE);
    return result;
}

inline simhost::RenderOptions solid(int width, int height, PF_PixelFormat format, simhost::ColorF color = {1, 0, 0, 0})
{
    simhost::RenderOptions options;
    options.format = format;
    options.solid = simhost::SolidLayer{width, height, color};
    return options;
}

}  // namespace cli_test
