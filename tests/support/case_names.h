// Names for the cases of parameterised tests. GoogleTest accepts only letters, digits and
// underscores, and ctest lists every name: a case is named by a short text of its own, never by
// its whole value.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace osatest {

// A case's text as a test name: letters and digits stay, a check sign and a mate sign become
// words (so that "O-O+" and "O-O#" stay apart), and every other run of characters one underscore.
inline std::string case_name(std::string_view text) {
    std::string name;
    bool gap = false;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !name.empty()) name += '_';
            name += c;
            gap = false;
        } else if (c == '+' || c == '#') {
            name += c == '+' ? "_check" : "_mate";
            gap = false;
        } else {
            gap = true;
        }
    }
    return name;
}

inline std::string seed_name(int seed) { return "seed_" + std::to_string(seed); }

}  // namespace osatest
