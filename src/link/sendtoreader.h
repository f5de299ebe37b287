#pragma once

#include "protocol/linkrules.h"

#include <QByteArray>
#include <functional>

namespace zanto {

// How a window without a link of its own sends a command: the text without its
// CR, and the rule choosing the link. Every window's commands end up in the main
// window's one send operation, which says whether the command went out on a link.
using SendFunction = std::function<bool(const QByteArray &text, LinkRule rule)>;

} // namespace zanto
