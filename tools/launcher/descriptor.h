// File descriptors of the tools: owned, closed once, and written whole.
#pragma once

#include <string>

namespace osa::board {

// Owns one file descriptor; closes it on destruction.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int get() const { return fd_; }
    int release();

private:
    int fd_;
};

// Writes all bytes, waiting as needed; false when the descriptor fails.
bool write_all(int fd, const std::string& bytes);

}  // namespace osa::board
