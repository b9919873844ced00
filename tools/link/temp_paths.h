// Paths of our own under the system's temporary folder: a folder removed with its contents at the
// end, and a symbolic link that keeps its path while what it names comes and goes. The emulator
// and the tests both need them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace osa {

// A fresh folder named after the prefix; removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(std::string_view prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Points the link at the target. Made beside and renamed over, so that a program never finds the
// link half-made or missing.
void point_link(const std::filesystem::path& link, const std::string& target);

// A path that names the current pty, so that a program finds the board again where it left it;
// removed while the board is unplugged.
class StableLink {
public:
    explicit StableLink(std::string_view prefix) : folder_(prefix) {}
    std::string path() const { return (folder_.path() / "board").string(); }
    void point_to(const std::string& target) const { point_link(path(), target); }
    void remove() const;

private:
    TempFolder folder_;
};

}  // namespace osa
