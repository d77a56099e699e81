// An event's handlers, by registration token: add_X and remove_X of a Windows Runtime class.
#pragma once
#include <mutex>
#include <vector>

#include <windows.foundation.h>
#include <wrl/client.h>

namespace winsim::wgc {

template <class Handler>
class EventList {
public:
    HRESULT add(Handler* handler, EventRegistrationToken* token) {
        if (!handler || !token) return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        token->value = ++last_;
        handlers_.push_back({token->value, Microsoft::WRL::ComPtr<Handler>(handler)});
        return S_OK;
    }
    // An unknown token is no error: removing a handler twice does nothing.
    HRESULT remove(EventRegistrationToken token) {
        std::lock_guard lock(mutex_);
        std::erase_if(handlers_, [&](const Entry& entry) { return entry.token == token.value; });
        return S_OK;
    }
    void clear() {
        std::vector<Entry> gone;
        std::lock_guard lock(mutex_);
        gone.swap(handlers_);
    }
    // Invokes every handler (outside the list's lock, so a handler may add or remove handlers).
    template <class Sender>
    void raise(Sender* sender) {
        std::vector<Entry> now;
        {
            std::lock_guard lock(mutex_);
            now = handlers_;
        }
        for (const Entry& entry : now) entry.handler->Invoke(sender, nullptr);
    }

private:
    struct Entry {
        INT64 token;
        Microsoft::WRL::ComPtr<Handler> handler;
    };
    std::mutex mutex_;
    INT64 last_ = 0;
    std::vector<Entry> handlers_;
};

}  // namespace winsim::wgc
