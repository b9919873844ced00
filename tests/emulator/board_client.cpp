// A stand-in for a program run by the emulator: finds the board's line in the environment,
// sends the commands given as arguments, prints each reply with its control bytes escaped,
// copies one line from standard input to standard output, and exits with status 5.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "text.h"

int main(int argc, char** argv) {
    const char* path = std::getenv(argc > 1 ? argv[1] : "OSA_COM1");
    if (path == nullptr) return 3;
    const int fd = open(path, O_RDWR | O_NOCTTY);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) return 4;
    for (int i = 2; i < argc; ++i) {
        const std::string command = std::string(argv[i]) + "\r\n";
        if (write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) return 6;
        std::string reply;
        char c = 0;
        while (c != '\x17' && read(fd, &c, 1) == 1) reply += c;
        std::cout << osa::escape_bytes(reply) << '\n';
    }
    std::string line;
    std::getline(std::cin, line);
    std::cout << "stdin: " << line << std::endl;
    close(fd);
    return 5;
}
