#include "platform-access/core/probe_packet.h"

namespace vantor::access {
namespace {

constexpr std::size_t kIpHeaderLength = 20;       // a header without options, as the probes send it
constexpr std::size_t kIcmpHeaderLength = 8;      // type, code, checksum and 4 bytes of rest
constexpr std::size_t kQuotedTransportBytes = 8;  // what an ICMP error quotes behind the IP header
constexpr std::uint16_t kUdpLength = 12;
constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestinationUnreachable = 3;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::uint8_t kProtocolUnreachable = 2;
constexpr std::uint8_t kPortUnreachable = 3;

void put16(std::uint8_t* at, std::uint16_t value) noexcept
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

void put32(std::uint8_t* at, std::uint32_t value) noexcept
{
    put16(at, static_cast<std::uint16_t>(value >> 16));
    put16(at + 2, static_cast<std::uint16_t>(value));
}

std::uint16_t get16(const std::uint8_t* at) noexcept
{
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

// Sums big-endian 16-bit words into a 32-bit accumulator. The probes and the
// pseudo-header are a few dozen bytes, far from the 65,536 words that could
// overflow it.
std::uint32_t addWords(std::uint32_t sum, const std::uint8_t* bytes, std::size_t length) noexcept
{
    std::size_t i = 0;
    for (; i + 1 < length; i += 2) {
        sum += get16(bytes + i);
    }
    if (i < length) {
        sum += static_cast<std::uint32_t>(bytes[i]) << 8;
    }
    return sum;
}

std::uint16_t complementOfSum(std::uint32_t sum) noexcept
{
    // Two folds bring any 32-bit sum into 16 bits: the first leaves at most
    // 0x1FFFE, the second at most 0xFFFF.
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum = (sum >> 16) + (sum & 0xFFFF);
    return static_cast<std::uint16_t>(~sum);
}

std::uint16_t asTransmitted(std::uint16_t checksum) noexcept
{
    return checksum == 0 ? 0xFFFF : checksum;
}

void writeIpHeader(ProbePacket& packet, const ProbeHeader& header, std::uint8_t protocol) noexcept
{
    std::uint8_t* ip = packet.data();
    ip[0] = 0x45;  // version 4, header of 5 words
    ip[1] = 0;     // type of service
    put16(ip + 2, static_cast<std::uint16_t>(kProbeLength));
    put16(ip + 4, header.identification);
    put16(ip + 6, 0);  // no flags, no fragment offset
    ip[8] = header.timeToLive;
    ip[9] = protocol;
    put16(ip + 10, 0);
    put32(ip + 12, header.sourceAddress);
    put32(ip + 16, header.destinationAddress);
    put16(ip + 10, transmittedChecksum(ip, kIpHeaderLength));
}

}  // namespace

std::uint16_t internetChecksum(const std::uint8_t* bytes, std::size_t length) noexcept
{
    return complementOfSum(addWords(0, bytes, length));
}

std::uint16_t transmittedChecksum(const std::uint8_t* bytes, std::size_t length) noexcept
{
    return asTransmitted(internetChecksum(bytes, length));
}

ProbePacket buildUdpProbe(const ProbeHeader& header, std::uint16_t port) noexcept
{
    ProbePacket packet{};
    writeIpHeader(packet, header, kProtocolUdp);
    std::uint8_t* udp = packet.data() + kIpHeaderLength;
    put16(udp, kProbeSourcePort);
    put16(udp + 2, port);
    put16(udp + 4, kUdpLength);
    put16(udp + 6, 0);
    // The payload is the number 1234 as the sending computer stores it.
    udp[8] = 0xD2;
    udp[9] = 0x04;
    udp[10] = 0x00;
    udp[11] = 0x00;

    std::uint8_t pseudoHeader[12];
    put32(pseudoHeader, header.sourceAddress);
    put32(pseudoHeader + 4, header.destinationAddress);
    pseudoHeader[8] = 0;
    pseudoHeader[9] = kProtocolUdp;
    put16(pseudoHeader + 10, kUdpLength);
    const std::uint32_t sum = addWords(addWords(0, pseudoHeader, sizeof pseudoHeader), udp, kUdpLength);
    put16(udp + 6, asTransmitted(complementOfSum(sum)));
    return packet;
}

ProbePacket buildIcmpProbe(const ProbeHeader& header, std::uint16_t port) noexcept
{
    ProbePacket packet{};
    writeIpHeader(packet, header, kProtocolIcmp);
    std::uint8_t* icmp = packet.data() + kIpHeaderLength;
    icmp[0] = kEchoRequest;
    icmp[1] = 0;
    put16(icmp + 2, 0);
    put16(icmp + 4, header.identification);
    put16(icmp + 6, port);
    // Bytes 28 to 31 stay zero.
    put16(icmp + 2, transmittedChecksum(icmp, kIcmpHeaderLength));
    return packet;
}

ReplyMatch matchReply(const std::uint8_t* datagram, std::size_t received, std::uint16_t probeId,
                      std::uint16_t port) noexcept
{
    const ReplyMatch none;
    if (received < 4 || get16(datagram + 2) != received) {
        return none;
    }
    // The header length is the datagram's own claim; it is believed only as
    // far as the bytes received reach.
    const std::size_t headerLength = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
    if (headerLength < kIpHeaderLength || received < headerLength + kIcmpHeaderLength) {
        return none;
    }
    const std::uint8_t* icmp = datagram + headerLength;
    const std::uint8_t type = icmp[0];
    const std::uint8_t code = icmp[1];

    if (type == kEchoReply) {
        ReplyMatch match;
        match.matched = get16(icmp + 6) == port;
        match.reached = match.matched;
        return match;
    }
    if (type != kTimeExceeded && type != kDestinationUnreachable) {
        return none;
    }

    // The error quotes the IP header of the packet that caused it and the
    // first 8 bytes behind that header. The quoted header may carry options,
    // so its length is read from it and checked like the outer one.
    const std::size_t quotedOffset = headerLength + kIcmpHeaderLength;
    if (received < quotedOffset + kIpHeaderLength) {
        return none;
    }
    const std::uint8_t* quoted = datagram + quotedOffset;
    const std::size_t quotedHeaderLength = static_cast<std::size_t>(quoted[0] & 0x0F) * 4;
    if (quotedHeaderLength < kIpHeaderLength ||
        received < quotedOffset + quotedHeaderLength + kQuotedTransportBytes) {
        return none;
    }
    if (get16(quoted + 4) != probeId) {
        return none;  // another program's packet
    }
    const std::uint8_t* quotedTransport = quoted + quotedHeaderLength;
    ReplyMatch match;
    if (quoted[9] == kProtocolIcmp) {
        match.matched = get16(quotedTransport + 6) == port;  // the echo request's sequence number
        match.toUdpProbe = false;
    } else {
        match.matched = get16(quotedTransport + 2) == port;  // the UDP destination port
        match.toUdpProbe = true;
    }
    match.reached =
        match.matched && type == kDestinationUnreachable && (code == kProtocolUnreachable || code == kPortUnreachable);
    return match;
}

}  // namespace vantor::access
