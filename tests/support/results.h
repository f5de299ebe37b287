#pragma once

#include "protocol/result.h"

#include <QString>

// What went wrong, or nothing: lets a table compare a result with the
// message it should carry ("" for success).
template <typename T> QString problemOf(const zanto::Result<T> &result)
{
    return result ? QString() : result.error();
}

// The same for a failure that carries its message among other things.
template <typename T, typename E>
    requires requires(const E &e) { e.message; }
QString problemOf(const zanto::Result<T, E> &result)
{
    return result ? QString() : result.error().message;
}
