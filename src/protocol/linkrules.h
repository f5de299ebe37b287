#pragma once

namespace zanto {

// Where a command goes; each rule is evaluated afresh at every send.
enum class LinkRule {
    TcpFirst,    // TCP if connected, else serial if open, else nowhere
    BothLinks,   // TCP if connected, and then also serial if open
    SerialFirst, // serial if open, else TCP if connected, else nowhere
};

// The links a frame goes out on. When both are chosen, TCP goes first.
struct LinkChoice {
    bool tcp = false;
    bool serial = false;
    bool operator==(const LinkChoice &) const = default;
};

LinkChoice chooseLinks(LinkRule rule, bool tcpConnected, bool serialOpen);

} // namespace zanto
