#include "protocol/linkrules.h"

namespace zanto {

LinkChoice chooseLinks(LinkRule rule, bool tcpConnected, bool serialOpen)
{
    switch (rule) {
    case LinkRule::TcpFirst:
        if (tcpConnected)
            return {true, false};
        return {false, serialOpen};
    case LinkRule::BothLinks:
        return {tcpConnected, serialOpen};
    case LinkRule::SerialFirst:
        if (serialOpen)
            return {false, true};
        return {tcpConnected, false};
    }
    return {};
}

} // namespace zanto
