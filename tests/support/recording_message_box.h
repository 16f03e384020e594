#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace test_support {

// A sink for tests: records every box and answers with a fixed result.
class RecordingMessageBoxSink : public platform::MessageBoxSink {
public:
    struct Entry {
        unsigned textId;
        std::string text;
        unsigned flags;
    };

    explicit RecordingMessageBoxSink(int answer = platform::kIdOk) : m_answer(answer) {}
    int Show(unsigned textId, const std::string& text, unsigned flags) override;

    std::vector<Entry> Entries() const;
    std::vector<unsigned> Ids() const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::vector<Entry> m_entries;
    int m_answer;
};

// Installs a recording sink for the lifetime of the object (tests).
class ScopedMessageBoxRecorder {
public:
    explicit ScopedMessageBoxRecorder(int answer = platform::kIdOk)
        : m_sink(answer), m_previous(platform::SetMessageBoxSink(&m_sink)) {}
    ~ScopedMessageBoxRecorder() { platform::SetMessageBoxSink(m_previous); }
    ScopedMessageBoxRecorder(const ScopedMessageBoxRecorder&) = delete;
    ScopedMessageBoxRecorder& operator=(const ScopedMessageBoxRecorder&) = delete;

    RecordingMessageBoxSink& sink() { return m_sink; }
    std::vector<unsigned> Ids() const { return m_sink.Ids(); }

private:
    RecordingMessageBoxSink m_sink;
    platform::MessageBoxSink* m_previous;
};

}  // namespace test_support
