#include "kernel/handles.h"

#include <chrono>
#include <cstdint>
#include <thread>
#include <unordered_map>

#include "machine/faults.h"
#include "machine/machine.h"
#include "winsim/control.h"

namespace winsim::kernel {
namespace {
struct Table {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = 0x100;
};
Table& table() {
    static Table* instance = new Table;  // handles may be closed by static destructors at exit
    return *instance;
}
thread_local DWORD lastError = 0;
}  // namespace

void Event::set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    cv_.notify_all();
}

void Event::reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::wait(DWORD ms) {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return signalled_; };
    if (ms == INFINITE) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, programWait(ms), ready)) {
        return false;
    }
    if (!manualReset_) signalled_ = false;
    return true;
}

HANDLE insert(std::shared_ptr<Object> object) {
    std::lock_guard lock(table().mutex);
    const uintptr_t value = table().next;
    table().next += 4;
    table().objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<Object> lookup(HANDLE handle) {
    std::lock_guard lock(table().mutex);
    auto it = table().objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table().objects.end() ? nullptr : it->second;
}

bool close(HANDLE handle) {
    std::shared_ptr<Object> doomed;  // destroyed outside the lock: it may release an allocation
    std::lock_guard lock(table().mutex);
    auto it = table().objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table().objects.end()) return false;
    doomed = std::move(it->second);
    table().objects.erase(it);
    return true;
}

void setLastError(DWORD error) { lastError = error; }

}  // namespace winsim::kernel

namespace winsim {
int64_t openHandleCount() {
    std::lock_guard lock(kernel::table().mutex);
    return static_cast<int64_t>(kernel::table().objects.size());
}
}  // namespace winsim

using winsim::kernel::Event;

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR) {
    if (auto error = winsim::fault("CreateEventW")) {
        winsim::kernel::setLastError(static_cast<DWORD>(*error));
        return nullptr;
    }
    return winsim::kernel::insert(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL WINAPI SetEvent(HANDLE handle) {
    auto event = winsim::kernel::lookupAs<Event>(handle);
    if (!event) return FALSE;
    event->set();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE handle) {
    auto event = winsim::kernel::lookupAs<Event>(handle);
    if (!event) return FALSE;
    event->reset();
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (auto error = winsim::fault("WaitForSingleObject")) {
        winsim::kernel::setLastError(static_cast<DWORD>(*error));
        return WAIT_FAILED;
    }
    auto event = winsim::kernel::lookupAs<Event>(handle);
    if (!event) {
        winsim::kernel::setLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return event->wait(milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    if (winsim::kernel::close(handle)) return TRUE;
    winsim::kernel::setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

void WINAPI Sleep(DWORD milliseconds) {
    const auto until = std::chrono::steady_clock::now() + winsim::programWait(milliseconds);
    while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_until(until);
}

DWORD WINAPI GetLastError() { return winsim::kernel::lastError; }

void WINAPI SetLastError(DWORD error) { winsim::kernel::setLastError(error); }
