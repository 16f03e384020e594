#include "tests/support/wait.h"

#include "platform/window.h"

namespace test_support::detail {

void DeliverPostedMessages() {
    platform::ProcessPostedMessages();
}

}  // namespace test_support::detail
