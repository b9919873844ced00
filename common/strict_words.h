// The command lines of osa-doctor and the tools, read through CLI11 as they have always been read:
// an option and its value are words of their own ("--wait=500" is an unknown option), each word is
// acted on as it is read so that the first bad word is the one named, and the usage text and "-h"
// are the program's own ("-hx" is an unknown option, not "-h" and "-x"). Header only: CLI11 is,
// and only the programs that read options this way include it.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace osa {

class StrictWords {
public:
    using Message = std::function<std::string(const std::string& word)>;

    // unknown: the program's message for a word that is none of its options.
    StrictWords(std::vector<std::string> words, Message unknown)
        : words_(std::move(words)), unread_(words_.rbegin(), words_.rend()), unknown_(std::move(unknown)) {
        app_.set_help_flag();
        app_.allow_extras();  // words that are no option, and "--" with what follows, are left over in order
    }

    // A flag, acted on as it is read.
    void flag(const std::string& name, std::function<void()> act) {
        app_.add_flag_function(name, [this, name, act](std::int64_t) {
                read_alone({name});
                act();
            })
            ->disable_flag_override()
            ->trigger_on_parse();
    }

    // A flag that ends the reading: the words after it are not looked at.
    void help_flag(const std::string& name) {
        flag(name, [] { throw CLI::CallForHelp(); });
    }

    // An option with a value; act gives the message for a bad value, or nothing for a good one.
    void option(const std::string& name, std::function<std::string(const std::string& value)> act) {
        value_options_.insert(name);
        app_.add_option_function<std::string>(name, [this, name, act](const std::string& value) {
                read_alone({name, value});
                if (std::string error = act(value); !error.empty()) throw CLI::ValidationError(error);
            })
            ->trigger_on_parse();
    }

    // Reads the words up to the first bad one; its message, or nothing. missing_value gives the
    // message for an option whose value the line leaves out. The words left over (remaining())
    // stood before the one refused, so the caller looks at them first.
    std::string read(const Message& missing_value) {
        try {
            app_.parse(unread_);  // CLI11 takes the words from the back of unread_
        } catch (const CLI::CallForHelp&) {
            help_ = true;
        } catch (const CLI::ValidationError& e) {
            return e.what();
        } catch (const CLI::ArgumentMismatch&) {  // the line ends without the value, or a flag has one
            const std::string& last = last_read();
            return value_options_.contains(last) ? missing_value(last) : unknown_(last);
        }
        return {};
    }

    bool help_asked() const { return help_; }
    std::vector<std::string> remaining() const { return app_.remaining(); }

private:
    const std::string& last_read() const { return words_[words_.size() - unread_.size() - 1]; }

    // Unless the words read last are exactly these, the first that differs is an unknown option.
    void read_alone(const std::vector<std::string>& expected) const {
        auto read = words_.end() - std::ssize(unread_);
        for (auto word = expected.rbegin(); word != expected.rend(); ++word)
            if (*--read != *word) throw CLI::ValidationError(unknown_(*read));
    }

    std::vector<std::string> words_;
    std::vector<std::string> unread_;
    Message unknown_;
    CLI::App app_;
    std::set<std::string> value_options_;
    bool help_ = false;
};

}  // namespace osa
