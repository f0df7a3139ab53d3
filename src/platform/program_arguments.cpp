#include "platform/program_arguments.h"

namespace kitforge {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
}

}  // namespace kitforge
