#pragma once

#include "protocol/result.h"

#include <QString>

// What went wrong, or nothing: lets a table compare a result with the
// message it should carry ("" for success).
template <typename T> QString problemOf(const zanto::Result<T> &result)
{
    return result ? QString() : result.error();
}
