// The raw IPv4 probes of the route trace and the reading of the ICMP
// datagrams that answer them. Pure: no Windows header, so that the packet
// layout and the matching rules are also built and tested natively.
//
// A probe is one 32-byte IPv4 packet, built whole here because the send
// socket carries its own IP header: a 20-byte IP header, then either an
// 8-byte UDP header with a 4-byte payload or an 8-byte ICMP echo request with
// 4 zero bytes. Multi-byte fields are in network byte order; addresses are
// handed in as 32-bit numbers in host order.
//
// The probe number s counts the probes of one trace from 0. Its probe port,
// (s + 48132) mod 65536, is the UDP destination port of the UDP probe and the
// sequence number of the ICMP probe, and is what the answers are matched by.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantor::access {

inline constexpr std::size_t kProbeLength = 32;
inline constexpr std::uint16_t kProbeSourcePort = 48132;  // 0xBC04, also the first probe port
inline constexpr std::uint8_t kProtocolIcmp = 1;
inline constexpr std::uint8_t kProtocolUdp = 17;

using ProbePacket = std::array<std::uint8_t, kProbeLength>;

// The Internet checksum (RFC 1071) of `length` bytes: the one's complement of
// the one's complement sum of the 16-bit big-endian words (an odd last byte
// is padded with a zero byte). Written to a packet in network byte order.
std::uint16_t internetChecksum(const std::uint8_t* bytes, std::size_t length) noexcept;

// The checksum as a probe carries it: a computed 0 is sent as 0xFFFF, its
// equal in one's complement, because 0 in a UDP header means "no checksum".
// The rule is applied to the IP and ICMP checksums as well.
std::uint16_t transmittedChecksum(const std::uint8_t* bytes, std::size_t length) noexcept;

// The probe port of probe number `probeNumber`.
constexpr std::uint16_t probePort(std::uint32_t probeNumber) noexcept
{
    return static_cast<std::uint16_t>(probeNumber + kProbeSourcePort);
}

// The IP header fields that every probe of a step shares.
struct ProbeHeader {
    std::uint16_t identification = 0;  // the trace's probe id
    std::uint8_t timeToLive = 0;
    std::uint32_t sourceAddress = 0;       // host order
    std::uint32_t destinationAddress = 0;  // host order
};

// UDP probe: source port 48132, destination port `port`, UDP length 12, the
// UDP checksum over the pseudo-header (source, destination, 0, 17, 12), the
// UDP header and the payload D2 04 00 00 (the number 1234, little-endian).
ProbePacket buildUdpProbe(const ProbeHeader& header, std::uint16_t port) noexcept;

// ICMP probe: echo request (type 8, code 0), the checksum over the 8 bytes
// of ICMP header, identifier = the probe id, sequence number = `port`, and a
// zero payload.
ProbePacket buildIcmpProbe(const ProbeHeader& header, std::uint16_t port) noexcept;

// What a received datagram means for the probe that is being waited for.
struct ReplyMatch {
    bool matched = false;      // it answers the probe
    bool toUdpProbe = false;   // the answered probe was the UDP one (else the ICMP one)
    bool reached = false;      // it comes from the destination: an echo reply, or protocol or port unreachable
};

// Reads one datagram as a raw ICMP socket delivers it (IP header included)
// and decides whether it answers the probe with `port` of the trace with
// `probeId`:
//   - an echo reply (type 0) answers the ICMP probe when its sequence number
//     is the port; it comes from the destination;
//   - time exceeded (11) or destination unreachable (3) answers a probe when
//     the IP header it quotes carries the probe id: the ICMP probe when the
//     quoted protocol is ICMP and the quoted sequence number is the port,
//     otherwise the UDP probe when the quoted destination port is the port.
//     Unreachable with code 2 (protocol) or 3 (port) comes from the
//     destination.
// Every other datagram, and any datagram whose fields would lie beyond the
// bytes received, does not match. The datagram is trusted for nothing: its
// total-length field must equal `received`, and both its own IP header
// length and the quoted header's length come from their fields and are
// checked against `received` before a field behind them is read.
ReplyMatch matchReply(const std::uint8_t* datagram, std::size_t received, std::uint16_t probeId,
                      std::uint16_t port) noexcept;

}  // namespace vantor::access
