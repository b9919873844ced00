// The page's files, built into the emulator so that it serves them from anywhere, needs no
// network, and can serve nothing else.
#pragma once

#include <string_view>

namespace osa::board {

struct WebFile {
    std::string_view content_type;
    std::string_view bytes;
};

// The file at a request path ("/" is the page itself); nothing for any other path.
const WebFile* web_file(std::string_view path);

}  // namespace osa::board
