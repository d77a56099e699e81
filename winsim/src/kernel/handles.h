// The kernel's handle table: events and the NT handles of shared resources.
#pragma once
#include <condition_variable>
#include <memory>
#include <mutex>

#include <windows.h>

namespace winsim::kernel {

class Object {
public:
    virtual ~Object() = default;
};

class Event final : public Object {
public:
    Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}
    void set();
    void reset();
    // Waits up to `ms` (INFINITE: for ever); true when the event was signalled. An auto-reset
    // event is reset by the wait that sees it.
    bool wait(DWORD ms);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    const bool manualReset_;
    bool signalled_;
};

HANDLE insert(std::shared_ptr<Object> object);
std::shared_ptr<Object> lookup(HANDLE handle);
template <class T>
std::shared_ptr<T> lookupAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(lookup(handle));
}
bool close(HANDLE handle);
void setLastError(DWORD error);

}  // namespace winsim::kernel
