#pragma once

#include <functional>
#include <string>
#include <utility>

// An event property's value: a bound method plus the name of the method it calls, so that the
// writer can store the binding by name. A handler set from code without a name is called like
// any other but is not stored.
template <typename... Args>
class TEvent {
public:
    using Handler = std::function<void(Args...)>;

    TEvent() = default;
    TEvent(Handler handler) : FHandler(std::move(handler)) {}
    TEvent(std::string name, Handler handler) : FName(std::move(name)), FHandler(std::move(handler)) {}

    const std::string &Name() const { return FName; }
    explicit operator bool() const { return bool(FHandler); }
    void operator()(Args... args) const {
        if (FHandler) FHandler(std::forward<Args>(args)...);
    }

private:
    std::string FName;
    Handler FHandler;
};
