#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace zanto {

// What can fail returns a Result: the value, or what went wrong. The error is
// a one-line message unless a caller needs more (which field, what hint), and
// it says the reason first, so a narrow label still shows it. A Result that is
// dropped unread is a compile warning, and the build treats warnings as errors.

template <typename E> struct Failure {
    E error;
};

inline Failure<QString> failure(QString message)
{
    return {std::move(message)};
}

template <typename E> Failure<E> failure(E error)
{
    return {std::move(error)};
}

template <typename T, typename E = QString> class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    {
    }
    template <typename F>
    Result(Failure<F> failed)
        : m_error(E(std::move(failed.error)))
    {
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T &value() const
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    T &value()
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    const T &operator*() const { return value(); }
    T &operator*() { return value(); }
    const T *operator->() const { return &value(); }
    T value_or(T other) const { return ok() ? *m_value : std::move(other); }

    const E &error() const
    {
        Q_ASSERT(!ok());
        return *m_error;
    }

private:
    std::optional<T> m_value;
    std::optional<E> m_error;
};

template <typename E> class [[nodiscard]] Result<void, E>
{
public:
    Result() = default;
    template <typename F>
    Result(Failure<F> failed)
        : m_error(E(std::move(failed.error)))
    {
    }

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }

    const E &error() const
    {
        Q_ASSERT(!ok());
        return *m_error;
    }

private:
    std::optional<E> m_error;
};

// Success of something that gives nothing back.
using Done = Result<void>;

} // namespace zanto
