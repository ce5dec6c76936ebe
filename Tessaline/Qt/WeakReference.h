#pragma once

#include <memory>

namespace Tessaline {

// Base of the objects that views refer to without owning them (their delegates): a view that reaches
// for one that has gone finds nothing instead of a dangling pointer. A copy is a new object with a
// reference of its own.
class WeakTarget {
public:
    WeakTarget() = default;
    WeakTarget(const WeakTarget&) {}
    WeakTarget& operator=(const WeakTarget&) { return *this; }
    virtual ~WeakTarget() = default;

    std::weak_ptr<const void> lifeToken() const { return _token; }

private:
    std::shared_ptr<const char> _token = std::make_shared<const char>();
};

// A reference to a WeakTarget that reads as null once the target has gone.
template<class T>
class WeakReference {
public:
    WeakReference() = default;
    WeakReference(T* target)
        : _target(target) {
        if (target) _token = target->lifeToken();
    }

    T* get() const { return _token.expired() ? nullptr : _target; }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }

private:
    T* _target = nullptr;
    std::weak_ptr<const void> _token;
};

} // namespace Tessaline
