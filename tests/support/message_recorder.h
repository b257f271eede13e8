// Collects what the library hands to its message callback while the
// recorder lives; the callback is removed again when it goes.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kzLib.h"

namespace dovav::test {

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<std::pair<kzMessageSeverity, std::string>> messages() const;
    // Every message, one a line, for failure output.
    std::string text() const;
    // Whether one message holds every one of the parts.
    bool anyContains(const std::vector<std::string>& parts) const;
    void clear();

private:
    static void record(kzMessageSeverity severity, const char* message, void* recorder);

    mutable std::mutex lock_;
    std::vector<std::pair<kzMessageSeverity, std::string>> messages_;
};

}  // namespace dovav::test
