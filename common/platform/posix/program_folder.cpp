// Where the running POSIX program lies: what /proc says, else the path it was started by.
#include "platform.h"

#include <vector>

#include <unistd.h>

namespace osa {

std::string program_folder(const char* started_as) {
    std::vector<char> path(4096);
    const ssize_t size = ::readlink("/proc/self/exe", path.data(), path.size());
    std::string program = size > 0 ? std::string(path.data(), static_cast<std::size_t>(size))
                                   : std::string(started_as != nullptr ? started_as : "");
    const auto slash = program.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : program.substr(0, slash);
}

}  // namespace osa
