// GoogleTest's Notification is written with std::mutex, which the win32 thread model of this
// MinGW lacks; the shipping DLLs use that model so that they carry no pthread emulation. This
// Notification, over a Windows event, stands in for it in the test host. Force-included.
#pragma once

#ifdef __cplusplus
#include <windows.h>

namespace testing::internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace testing::internal
#endif
