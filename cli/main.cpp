#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/stdout_buffer.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    velkorramp::DescriptorBuffer stdout_buffer(STDOUT_FILENO);
    std::ostream out(&stdout_buffer);
    return velkorramp::run_command_line(args, out, std::cerr);
}
