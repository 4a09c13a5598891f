#pragma once

#include <utility>
#include <variant>

namespace airlark {

// A value that is exactly one of two cases, Left or Right. The wizard's steps answer Next with
// Either<QWidget*, std::function<void()>>: Left pushes a controller, Right runs an action in place.
template <typename L, typename R> class Either
{
public:
    static Either Left(L value) { return Either(std::in_place_index<0>, std::move(value)); }
    static Either Right(R value) { return Either(std::in_place_index<1>, std::move(value)); }

    bool isLeft() const { return value_.index() == 0; }
    bool isRight() const { return value_.index() == 1; }

    // Only valid for the case the value holds.
    const L& left() const { return std::get<0>(value_); }
    const R& right() const { return std::get<1>(value_); }
    L& left() { return std::get<0>(value_); }
    R& right() { return std::get<1>(value_); }

    // Calls onLeft or onRight with the payload and returns what it returns.
    template <typename OnLeft, typename OnRight>
    decltype(auto) match(OnLeft&& onLeft, OnRight&& onRight) const
    {
        if (isLeft())
            return std::forward<OnLeft>(onLeft)(left());
        return std::forward<OnRight>(onRight)(right());
    }

private:
    template <std::size_t Index, typename Value>
    Either(std::in_place_index_t<Index> index, Value&& value) : value_(index, std::forward<Value>(value))
    {
    }

    std::variant<L, R> value_;
};

} // namespace airlark
