#include "support/message_recorder.h"

namespace dovav::test {

MessageRecorder::MessageRecorder()
{
    kzSetMessageCallback(record, this);
}

MessageRecorder::~MessageRecorder()
{
    kzSetMessageCallback(nullptr, nullptr);
}

void MessageRecorder::record(kzMessageSeverity severity, const char* message, void* recorder)
{
    auto* self = static_cast<MessageRecorder*>(recorder);
    const std::lock_guard<std::mutex> guard(self->lock_);
    self->messages_.emplace_back(severity, message);
}

std::vector<std::pair<kzMessageSeverity, std::string>> MessageRecorder::messages() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

std::string MessageRecorder::text() const
{
    std::string joined;
    for (const auto& [severity, message] : messages())
        joined += std::to_string(int(severity)) + ": " + message + "\n";
    return joined;
}

bool MessageRecorder::anyContains(const std::vector<std::string>& parts) const
{
    for (const auto& entry : messages()) {
        bool all = true;
        for (const std::string& part : parts)
            all = all && entry.second.find(part) != std::string::npos;
        if (all)
            return true;
    }
    return false;
}

void MessageRecorder::clear()
{
    const std::lock_guard<std::mutex> guard(lock_);
    messages_.clear();
}

}  // namespace dovav::test
