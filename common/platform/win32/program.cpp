// The running Windows program: how its arguments are split, and the folder it lies in.
#include "platform.h"

#include <windows.h>

// The arguments reach the programs as Windows splits them, whatever the runtime's default: "/?"
// is the usage switch, never a file name pattern to expand.
extern "C" {
int _dowildcard = 0;
}

namespace osa {

std::string program_folder(const char* started_as) {
    char path[MAX_PATH * 4];
    const DWORD size = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string program = size > 0 && size < sizeof path ? std::string(path, size)
                                                          : std::string(started_as != nullptr ? started_as : "");
    const auto separator = program.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : program.substr(0, separator);
}

}  // namespace osa
