// A POSIX descriptor that closes itself (and so drops its locks), for the open steps of a serial
// device that may each fail. POSIX builds only.
#pragma once

#include <utility>

#include <unistd.h>

namespace osa {

// Owns a descriptor until it is handed over, so that every failed step of the open closes it.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

}  // namespace osa
