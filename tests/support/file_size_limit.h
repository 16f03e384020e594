#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>

namespace test_support {

// Caps the size of files this process writes, for its lifetime: a write past
// the cap fails with EFBIG (SIGXFSZ is ignored meanwhile), as on a full disk.
// Only for the test's main thread, with no other thread writing files.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(std::uint64_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit m_old{};
    sighandler_t m_oldHandler = SIG_DFL;
};

}  // namespace test_support
