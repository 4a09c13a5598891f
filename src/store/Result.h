#pragma once

#include <utility>
#include <variant>

namespace airlark {

// A value or the reason there is none. Store writes that must say why they failed return one.
template <typename T, typename E> class Result
{
public:
    Result(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : storage_(std::in_place_index<1>, std::move(error)) {}

    bool hasValue() const { return storage_.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    // Only when hasValue().
    const T& value() const& { return std::get<0>(storage_); }
    T&& value() && { return std::get<0>(std::move(storage_)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }

    // Only when !hasValue().
    const E& error() const { return std::get<1>(storage_); }

private:
    std::variant<T, E> storage_;
};

} // namespace airlark
