#include "temp_paths.h"

#include <unistd.h>

#include <stdexcept>
#include <system_error>

namespace osa {

TempFolder::TempFolder(std::string_view prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder " + pattern);
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void point_link(const std::filesystem::path& link, const std::string& target) {
    const std::filesystem::path fresh = link.string() + ".new";
    std::filesystem::remove(fresh);
    std::filesystem::create_symlink(target, fresh);
    std::filesystem::rename(fresh, link);
}

void StableLink::remove() const {
    std::error_code ignored;
    std::filesystem::remove(path(), ignored);
}

}  // namespace osa
