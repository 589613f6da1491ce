// velkor_hostcheck: finds an effect module through its registration resource
// and drives it as the host does, writing the frames it renders; or compares
// the frames of two such runs.
//
//   velkor_hostcheck run MODULE FRAMES_DIR [--pipl PROPERTY_LIST]
//   velkor_hostcheck compare FRAMES_DIR FRAMES_DIR
#include <iostream>
#include <string>

#include "hostcheck/host_check.h"

namespace {

int usage()
{
    std::cerr << "usage: velkor_hostcheck run MODULE FRAMES_DIR [--pipl PROPERTY_LIST]\n"
                 "       velkor_hostcheck compare FRAMES_DIR FRAMES_DIR\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "run" && (argc == 4 || (argc == 6 && std::string(argv[4]) == "--pipl"))) {
        velkor::hostcheck::RunOptions options;
        options.module = argv[2];
        options.frames_dir = argv[3];
        if (argc == 6) options.pipl_file = argv[5];
        return velkor::hostcheck::run_host_check(options, std::cout);
    }
    if (command == "compare" && argc == 4)
        return velkor::hostcheck::compare_frame_dirs(argv[2], argv[3], std::cout);
    return usage();
}
