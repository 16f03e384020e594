#pragma once

// Registration of the subsystem services for the length of a scope. The
// registration ends when the object goes away, whichever way the test leaves
// (a failed ASSERT returns early), so the core never keeps a pointer to a
// destroyed fake. Declare it after the fake it registers: members are
// destroyed in reverse order, so the registration ends first.

#include "core/application/subsystem_services.h"

namespace test_support {

class ScopedLiveViewRegistration {
public:
    explicit ScopedLiveViewRegistration(LiveViewServices& services) {
        SetLiveViewServices(&services);
    }
    ~ScopedLiveViewRegistration() { SetLiveViewServices(nullptr); }
    ScopedLiveViewRegistration(const ScopedLiveViewRegistration&) = delete;
    ScopedLiveViewRegistration& operator=(const ScopedLiveViewRegistration&) = delete;
};

class ScopedMediaRegistration {
public:
    explicit ScopedMediaRegistration(MediaServices& services) { SetMediaServices(&services); }
    ~ScopedMediaRegistration() { SetMediaServices(nullptr); }
    ScopedMediaRegistration(const ScopedMediaRegistration&) = delete;
    ScopedMediaRegistration& operator=(const ScopedMediaRegistration&) = delete;
};

}  // namespace test_support
