// Reading a command's arguments left to right, and the usage errors that all
// commands word alike: "dovav COMMAND: MESSAGE (see dovav COMMAND --help)".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dovav {

class Arguments {
public:
    // `command` names the command in messages. With `joinedValues` an option
    // may also carry its value after '=' in the same argument (--out=DIR).
    Arguments(const char* command, int argc, char** argv, bool joinedValues = false);

    bool done() const { return next_ == argc_; }

    // Each of these takes the next argument if it is what it looks for.

    // "--": every argument after it is positional.
    bool takeEndOfOptions();
    // The option `name`, which has no value.
    bool takeFlag(const char* name);
    // The option `name` with its value; `value` is null when the option is
    // the last argument.
    bool takeOption(const char* name, const char*& value);
    // An argument that is no option: one not starting with '-', "-" alone,
    // or any after "--".
    bool takePositional(const char*& argument);
    // A positional argument, added to `paths`, which are to number `count`;
    // `expected` says what they are. False, after reporting it, if the next
    // argument is an option (a command takes its own ones first) or one path
    // too many.
    bool takePath(std::vector<const char*>& paths, size_t count, const char* expected);

    // The next argument as an option name: with joined values, a long option
    // without its =VALUE.
    std::string optionName() const;

    // These report a bad command line and return kExitUsage.
    int unknownOption() const;
    int usageError(const std::string& message) const;

    // Whether the loaders can open the input file `path`; if not, reports why
    // (a missing input counts as a bad command line).
    bool canOpen(const char* path) const;

private:
    const char* command_;
    int argc_;
    char** argv_;
    bool joinedValues_;
    int next_ = 0;
    bool options_ = true;  // until "--"
};

// "WIDTHxHEIGHT" in decimal digits, each side from 1 to `largest`.
bool parseSize(const char* text, unsigned largest, unsigned& width, unsigned& height);

}  // namespace dovav
