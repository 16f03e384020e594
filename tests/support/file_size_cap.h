#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace test_support {

// Caps the size of the files this process may write, as a full disk stops a
// write part-way; the signal such a write raises is ignored meanwhile, so the
// write fails with an error instead. The cap holds for every thread of the
// process while the object lives.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit capped = m_saved;
        capped.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

private:
    rlimit m_saved{};
    sighandler_t m_oldHandler;
};

}  // namespace test_support
