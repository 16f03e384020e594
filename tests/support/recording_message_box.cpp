#include "tests/support/recording_message_box.h"

namespace test_support {

int RecordingMessageBoxSink::Show(unsigned textId, const std::string& text, unsigned flags) {
    std::lock_guard lock(m_lock);
    m_entries.push_back({textId, text, flags});
    return m_answer;
}

std::vector<RecordingMessageBoxSink::Entry> RecordingMessageBoxSink::Entries() const {
    std::lock_guard lock(m_lock);
    return m_entries;
}

std::vector<unsigned> RecordingMessageBoxSink::Ids() const {
    std::lock_guard lock(m_lock);
    std::vector<unsigned> ids;
    ids.reserve(m_entries.size());
    for (const auto& e : m_entries) ids.push_back(e.textId);
    return ids;
}

void RecordingMessageBoxSink::Clear() {
    std::lock_guard lock(m_lock);
    m_entries.clear();
}

}  // namespace test_support
