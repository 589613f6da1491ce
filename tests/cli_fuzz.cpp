// A libFuzzer target for what velkorramp reads from outside: the command line's
// option parser and value parsers, and an image file's header checks and band
// reading. Any input must end in a Failure (the tool's one-line error) or in
// success, never in a crash, a leak or undefined behaviour.
//
// The first byte chooses: even, the rest is arguments separated by NUL bytes;
// odd, the rest is an image file whose extension the byte's other bits pick.
//
// Built with clang only (VELKOR_FUZZ); the commands are in cli/README.md. Run
// it with tests/lsan-suppressions.txt, which names a leak of OpenImageIO's.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "cli/controls.h"
#include "cli/failure.h"
#include "cli/image_file.h"
#include "cli/options.h"
#include "cli/values.h"

namespace {

using namespace velkorramp;

constexpr std::array<OptionSpec, 6> kSpecs{{
    {"--output", "-o", "FILE", ""},
    {"--size", nullptr, "WxH", ""},
    {"--power", nullptr, "VALUE", ""},
    {"--type", nullptr, "VALUE", ""},
    {"--verbose", "-v", nullptr, ""},
    {"--help", "-h", nullptr, ""},
}};

template <class Parse>
void refused_or_parsed(Parse parse)
{
    try {
        parse();
    } catch (const Failure&) {
    }
}

void command_line(const std::string& text)
{
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', start)) {
        args.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    args.push_back(text.substr(start));
    refused_or_parsed([&] { parse_options(args, kSpecs, "render"); });
    const std::vector<std::string> shapes{"Linear", "Linear 2", "Radial"};
    for (const std::string& a : args) {
        refused_or_parsed([&] { parse_number("--power", a); });
        refused_or_parsed([&] { parse_point("--start", a); });
        refused_or_parsed([&] {
            int x = 0;
            int y = 0;
            parse_origin("--origin", a, x, y);
        });
        refused_or_parsed([&] { parse_size("--size", a); });
        refused_or_parsed([&] { parse_color("--fill", a, true); });
        refused_or_parsed([&] { parse_downsample("--downsample", a); });
        refused_or_parsed([&] { parse_depth("--depth", a); });
        refused_or_parsed([&] { parse_threads("--threads", a); });
        refused_or_parsed([&] { parse_memory_size("--memory-limit", a); });
        match_choice(shapes, a);
        choice_word(a);
    }
}

void image_file(const std::string& bytes, unsigned choice)
{
    static constexpr std::array<const char*, 3> kExtensions{".png", ".tif", ".exr"};
    const std::string path =
        "/tmp/velkorramp-fuzz-" + std::to_string(::getpid()) + kExtensions[choice % 3];
    std::ofstream(path, std::ios::binary) << bytes;
    refused_or_parsed([&] {
        InputFile file(path);
        // Reading is bounded by the header checks: a file this small cannot
        // declare a large image and pass them, unless its compression is unbounded.
        if (file.rgba_bytes() <= (std::uint64_t{64} << 20)) file.read();
    });
    ::unlink(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) {
        command_line(rest);
    } else {
        image_file(rest, data[0] >> 1);
    }
    return 0;
}
