#pragma once

#include "core/reelcheck/APIError.h"

#include <utility>
#include <variant>

namespace tessera {

// What a call to the reel check service gives: its value, or the one error the editor sees.
template<typename T>
class Result
{
public:
    // Only as storage to assign to later (QCoro::waitFor needs one): an outcome nobody knows yet.
    Result()
        : m_outcome(std::in_place_index<1>, APIError::uncertain(QString()))
    {}
    Result(T value)
        : m_outcome(std::in_place_index<0>, std::move(value))
    {}
    Result(APIError error)
        : m_outcome(std::in_place_index<1>, std::move(error))
    {}

    bool ok() const { return m_outcome.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    const T &value() const { return std::get<0>(m_outcome); }
    T &value() { return std::get<0>(m_outcome); }
    // Only when not ok().
    const APIError &error() const { return std::get<1>(m_outcome); }

    friend bool operator==(const Result &, const Result &) = default;

private:
    std::variant<T, APIError> m_outcome;
};

// Success without a value, for calls such as help().
struct Done
{
    friend bool operator==(const Done &, const Done &) = default;
};

} // namespace tessera
