// velkor_pipl_generator OUTPUT: writes the registration property list of
// host/effect_identity.h to OUTPUT, the file that the Windows resource script
// embeds. The file appears whole or not at all.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "resources/pipl_writer.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "velkor_pipl_generator");
        return 2;
    }
    const std::filesystem::path output = argv[1];
    const std::filesystem::path partial = output.string() + ".partial";
    try {
        const auto bytes = velkor::pipl::build_property_list(velkor::pipl::velkor_ramp_identity());
        {
            std::ofstream file(partial, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            file.close();
            if (!file) throw std::runtime_error("cannot write " + partial.string());
        }
        std::filesystem::rename(partial, output);
    } catch (const std::exception& error) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        std::fprintf(stderr, "velkor_pipl_generator: %s\n", error.what());
        return 1;
    }
    return 0;
}
