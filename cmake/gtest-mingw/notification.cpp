#include "gtest/internal/custom/gtest-port.h"

#include <windows.h>

#include <cstdlib>

namespace testing {
namespace internal {

// Manual reset: once notified, every waiter and every later wait goes through.
Notification::Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (event_ == nullptr) std::abort();
}

Notification::~Notification() { CloseHandle(event_); }

void Notification::Notify() { SetEvent(event_); }

void Notification::WaitForNotification() {
  if (WaitForSingleObject(event_, INFINITE) != WAIT_OBJECT_0) std::abort();
}

}  // namespace internal
}  // namespace testing
