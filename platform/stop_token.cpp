#include "platform/stop_token.h"

namespace platform {

namespace {
thread_local std::stop_token t_currentToken;
}

std::stop_token CurrentStopToken() noexcept {
    return t_currentToken;
}

void SetCurrentStopToken(std::stop_token token) noexcept {
    t_currentToken = std::move(token);
}

}  // namespace platform
