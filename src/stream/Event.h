#pragma once

#include <functional>
#include <string>
#include <type_traits>
#include <utility>

// An event property's value: a bound method plus the name of the method it calls, so that the
// writer can store the binding by name. A handler set from code without a name is called like
// any other but is not stored.
template <typename... Args> class TEvent {
public:
    using Handler = std::function<void(Args...)>;

    TEvent() = default;
    // Any callable of the event's signature, as an unnamed handler.
    template <typename F>
    requires(!std::is_same_v<std::decay_t<F>, TEvent> && std::is_invocable_v<F &, Args...>)
        TEvent(F &&handler)
        : FHandler(std::forward<F>(handler)) {}
    TEvent(std::string name, Handler handler)
        : FName(std::move(name)), FHandler(std::move(handler)) {}

    const std::string &Name() const { return FName; }
    explicit operator bool() const { return bool(FHandler); }
    void operator()(Args... args) const {
        if (FHandler) FHandler(std::forward<Args>(args)...);
    }

private:
    std::string FName;
    Handler FHandler;
};
