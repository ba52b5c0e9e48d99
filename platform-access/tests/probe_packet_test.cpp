// Probe packets and reply matching on crafted bytes. The expected probes
// were computed apart from this code, field by field, with the checksums of
// RFC 1071.
#include "platform-access/core/probe_packet.h"

#include "platform-access/tests/datagram_bytes_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vantor::access {
namespace {

using testing::Bytes;
using testing::joined;
using testing::put16;

Bytes bytesOf(const ProbePacket& packet)
{
    return Bytes(packet.begin(), packet.end());
}

// --- checksum ------------------------------------------------------------------

TEST(Checksum, TheWorkedExampleOfRfc1071)
{
    // The sum of 0001 f203 f4f5 f6f7 is ddf2; its complement 220d.
    const std::uint8_t bytes[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(0x220D, internetChecksum(bytes, sizeof bytes));
}

TEST(Checksum, AnOddLastByteIsTheHighByteOfAPaddedWord)
{
    const std::uint8_t odd[] = {0x12, 0x34, 0x56};
    const std::uint8_t padded[] = {0x12, 0x34, 0x56, 0x00};
    EXPECT_EQ(internetChecksum(padded, sizeof padded), internetChecksum(odd, sizeof odd));
    EXPECT_EQ(static_cast<std::uint16_t>(~(0x1234 + 0x5600)), internetChecksum(odd, sizeof odd));
}

TEST(Checksum, ZeroIsTransmittedAsAllOnes)
{
    // These words sum to FFFF, whose complement is 0.
    const std::uint8_t bytes[] = {0xF0, 0x00, 0x0F, 0xFF};
    EXPECT_EQ(0, internetChecksum(bytes, sizeof bytes));
    EXPECT_EQ(0xFFFF, transmittedChecksum(bytes, sizeof bytes));
    const std::uint8_t other[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(0x220D, transmittedChecksum(other, sizeof other));
}

// --- probes ----------------------------------------------------------------------

TEST(Probe, PortsCountFromTheSourcePortAndWrap)
{
    EXPECT_EQ(48132, probePort(0));
    EXPECT_EQ(48137, probePort(5));
    EXPECT_EQ(65535, probePort(65535 - 48132));
    EXPECT_EQ(0, probePort(65536 - 48132));
    EXPECT_EQ(48132, probePort(65536));
}

ProbeHeader header(std::uint16_t id, std::uint8_t ttl, std::uint32_t source, std::uint32_t destination)
{
    ProbeHeader h;
    h.identification = id;
    h.timeToLive = ttl;
    h.sourceAddress = source;
    h.destinationAddress = destination;
    return h;
}

TEST(Probe, UdpProbeByteForByte)
{
    // 192.168.1.100 -> 8.8.8.8, TTL 7, id 0x1234, probe number 5.
    const Bytes expected = {0x45, 0x00, 0x00, 0x20, 0x12, 0x34, 0x00, 0x00, 0x07, 0x11, 0xCF,
                            0x7D, 0xC0, 0xA8, 0x01, 0x64, 0x08, 0x08, 0x08, 0x08, 0xBC, 0x04,
                            0xBC, 0x09, 0x00, 0x0C, 0xE3, 0xA6, 0xD2, 0x04, 0x00, 0x00};
    EXPECT_EQ(expected, bytesOf(buildUdpProbe(header(0x1234, 7, 0xC0A80164, 0x08080808), probePort(5))));
}

TEST(Probe, IcmpProbeByteForByte)
{
    const Bytes expected = {0x45, 0x00, 0x00, 0x20, 0x12, 0x34, 0x00, 0x00, 0x07, 0x01, 0xCF,
                            0x8D, 0xC0, 0xA8, 0x01, 0x64, 0x08, 0x08, 0x08, 0x08, 0x08, 0x00,
                            0x29, 0xC2, 0x12, 0x34, 0xBC, 0x09, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(expected, bytesOf(buildIcmpProbe(header(0x1234, 7, 0xC0A80164, 0x08080808), probePort(5))));
}

TEST(Probe, ChecksumsThatComeOutZeroAreSentAsAllOnes)
{
    // Chosen so that both the IP header and the UDP checksum are 0 before
    // the rule, and so that the ICMP checksum is.
    const Bytes udp = {0x45, 0x00, 0x00, 0x20, 0x66, 0xCB, 0x00, 0x00, 0x40, 0x11, 0xFF,
                       0xFF, 0x0A, 0x00, 0x00, 0x01, 0x0A, 0x00, 0x00, 0x02, 0xBC, 0x04,
                       0x5D, 0xCA, 0x00, 0x0C, 0xFF, 0xFF, 0xD2, 0x04, 0x00, 0x00};
    EXPECT_EQ(udp, bytesOf(buildUdpProbe(header(0x66CB, 64, 0x0A000001, 0x0A000002), 0x5DCA)));
    const Bytes icmp = {0x45, 0x00, 0x00, 0x20, 0x12, 0x34, 0x00, 0x00, 0x03, 0x01, 0x91,
                        0xA7, 0x0A, 0x00, 0x00, 0x01, 0x0A, 0x00, 0x00, 0x02, 0x08, 0x00,
                        0xFF, 0xFF, 0x12, 0x34, 0xE5, 0xCB, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(icmp, bytesOf(buildIcmpProbe(header(0x1234, 3, 0x0A000001, 0x0A000002), 0xE5CB)));
}

// --- replies -----------------------------------------------------------------------

constexpr std::uint16_t kId = 0x4D2A;
constexpr std::uint16_t kPort = 48140;  // probe number 8

// An IPv4 datagram carrying `icmp`, with `options` bytes of IP options and a
// correct total length.
Bytes datagram(const Bytes& icmp, std::size_t options = 0)
{
    Bytes bytes(20 + options, 0);
    bytes[0] = static_cast<std::uint8_t>(0x40 | ((20 + options) / 4));
    bytes[8] = 60;
    bytes[9] = 1;
    bytes = joined(bytes, icmp, icmp.size());
    put16(bytes, 2, static_cast<std::uint16_t>(bytes.size()));
    return bytes;
}

Bytes echoReply(std::uint16_t identifier, std::uint16_t sequence)
{
    Bytes icmp(8 + 4, 0);
    icmp[0] = 0;
    put16(icmp, 4, identifier);
    put16(icmp, 6, sequence);
    return icmp;
}

// An ICMP error quoting the first 28 bytes of `quoted` (its IP header and 8
// bytes behind it), as routers do.
Bytes icmpError(std::uint8_t type, std::uint8_t code, const Bytes& quoted, std::size_t quotedBytes = 28)
{
    Bytes icmp = {type, code, 0, 0, 0, 0, 0, 0};
    icmp = joined(icmp, quoted, quotedBytes);
    return icmp;
}

ReplyMatch match(const Bytes& bytes, std::uint16_t port = kPort)
{
    return matchReply(bytes.data(), bytes.size(), kId, port);
}

Bytes ourUdpProbe(std::uint16_t port = kPort)
{
    return bytesOf(buildUdpProbe(header(kId, 4, 0x0A000001, 0x5DB8D822), port));
}

Bytes ourIcmpProbe(std::uint16_t port = kPort)
{
    return bytesOf(buildIcmpProbe(header(kId, 4, 0x0A000001, 0x5DB8D822), port));
}

TEST(Reply, EchoReplyMatchesByItsSequenceNumber)
{
    const ReplyMatch reply = match(datagram(echoReply(kId, kPort)));
    EXPECT_TRUE(reply.matched);
    EXPECT_TRUE(reply.reached);
    EXPECT_FALSE(reply.toUdpProbe);

    EXPECT_FALSE(match(datagram(echoReply(kId, kPort - 1))).matched);  // an earlier probe's answer
    EXPECT_FALSE(match(datagram(echoReply(kId, kPort)), kPort + 1).matched);
}

TEST(Reply, TimeExceededQuotingOurProbes)
{
    ReplyMatch reply = match(datagram(icmpError(11, 0, ourUdpProbe())));
    EXPECT_TRUE(reply.matched);
    EXPECT_TRUE(reply.toUdpProbe);
    EXPECT_FALSE(reply.reached);  // a router on the way
    reply = match(datagram(icmpError(11, 0, ourIcmpProbe())));
    EXPECT_TRUE(reply.matched);
    EXPECT_FALSE(reply.toUdpProbe);
    EXPECT_FALSE(reply.reached);
    // Answers to earlier probes of the trace.
    EXPECT_FALSE(match(datagram(icmpError(11, 0, ourUdpProbe(kPort + 1)))).matched);
    EXPECT_FALSE(match(datagram(icmpError(11, 0, ourIcmpProbe(kPort - 3)))).matched);
}

TEST(Reply, PortAndProtocolUnreachableComeFromTheDestination)
{
    ReplyMatch reply = match(datagram(icmpError(3, 3, ourUdpProbe())));
    EXPECT_TRUE(reply.matched);
    EXPECT_TRUE(reply.reached);
    EXPECT_TRUE(reply.toUdpProbe);

    reply = match(datagram(icmpError(3, 2, ourIcmpProbe())));
    EXPECT_TRUE(reply.matched);
    EXPECT_TRUE(reply.reached);
    EXPECT_FALSE(reply.toUdpProbe);

    // Host or network unreachable answers the probe but is said by a router.
    reply = match(datagram(icmpError(3, 1, ourUdpProbe())));
    EXPECT_TRUE(reply.matched);
    EXPECT_FALSE(reply.reached);
}

TEST(Reply, AnotherProgramsPacketIsIgnored)
{
    // Same ports, different identification.
    Bytes theirs = ourUdpProbe();
    put16(theirs, 4, kId + 1);
    EXPECT_FALSE(match(datagram(icmpError(11, 0, theirs))).matched);
    EXPECT_FALSE(match(datagram(icmpError(3, 3, theirs))).matched);
    Bytes theirPing = ourIcmpProbe();
    put16(theirPing, 4, 0x0001);
    EXPECT_FALSE(match(datagram(icmpError(11, 0, theirPing))).matched);
}

TEST(Reply, OtherIcmpTypesAreIgnored)
{
    // Our own echo request, seen by the raw socket on its way out.
    EXPECT_FALSE(matchReply(ourIcmpProbe().data(), 32, kId, kPort).matched);
    // Redirect (5) and parameter problem (12) quoting our probe.
    EXPECT_FALSE(match(datagram(icmpError(5, 1, ourUdpProbe()))).matched);
    EXPECT_FALSE(match(datagram(icmpError(12, 0, ourUdpProbe()))).matched);
}

TEST(Reply, HeadersWithOptionsAreReadByTheirLengthFields)
{
    // Outer header with 8 bytes of options.
    EXPECT_TRUE(match(datagram(echoReply(kId, kPort), 8)).matched);
    EXPECT_TRUE(match(datagram(icmpError(11, 0, ourUdpProbe()), 8)).matched);

    // A quoted header with 4 bytes of options: the UDP header follows them.
    Bytes quoted = ourUdpProbe();
    const Bytes options = {0x01, 0x01, 0x01, 0x00};
    const Bytes rest(quoted.begin() + 20, quoted.end());
    quoted = joined(joined(Bytes(quoted.begin(), quoted.begin() + 20), options, 4), rest, rest.size());
    quoted[0] = 0x46;
    const ReplyMatch reply = match(datagram(icmpError(11, 0, quoted, 32)));
    EXPECT_TRUE(reply.matched);
    EXPECT_TRUE(reply.toUdpProbe);
    // Read at the fixed offset instead, the options would be taken for the
    // ports.
    quoted[0] = 0x45;
    EXPECT_FALSE(match(datagram(icmpError(11, 0, quoted, 32))).matched);
}

TEST(Reply, TruncatedDatagramsAreIgnored)
{
    const Bytes whole = datagram(icmpError(11, 0, ourIcmpProbe()));
    ASSERT_TRUE(match(whole).matched);
    // Every shorter prefix, with its total-length field telling the truth.
    for (std::size_t length = 0; length < whole.size(); ++length) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        if (length >= 4) {
            put16(cut, 2, static_cast<std::uint16_t>(length));
        }
        EXPECT_FALSE(match(cut).matched) << length << " bytes";
    }
    // An error that quotes fewer than 8 bytes behind the quoted header.
    EXPECT_FALSE(match(datagram(icmpError(3, 3, ourUdpProbe(), 24))).matched);
    // Echo reply shorter than IP header + 8.
    Bytes shortEcho = datagram(echoReply(kId, kPort));
    shortEcho.resize(27);
    put16(shortEcho, 2, 27);
    EXPECT_FALSE(match(shortEcho).matched);
}

TEST(Reply, DatagramsWhoseLengthFieldsLieAreIgnored)
{
    // The total length must be the number of bytes received.
    Bytes longer = datagram(echoReply(kId, kPort));
    put16(longer, 2, static_cast<std::uint16_t>(longer.size() + 1));
    EXPECT_FALSE(match(longer).matched);
    Bytes shorter = datagram(echoReply(kId, kPort));
    put16(shorter, 2, static_cast<std::uint16_t>(shorter.size() - 1));
    EXPECT_FALSE(match(shorter).matched);

    // An IP header length below the minimum, or beyond the datagram.
    for (const std::uint8_t versionAndLength : {0x40, 0x44, 0x4F}) {
        Bytes bad = datagram(echoReply(kId, kPort));
        bad[0] = versionAndLength;
        EXPECT_FALSE(match(bad).matched) << int(versionAndLength);
    }

    // A quoted header that claims 60 bytes in a datagram that ends sooner.
    Bytes quoted = ourUdpProbe();
    quoted[0] = 0x4F;
    EXPECT_FALSE(match(datagram(icmpError(11, 0, quoted))).matched);
    // ... or less than the minimum header.
    quoted[0] = 0x43;
    EXPECT_FALSE(match(datagram(icmpError(11, 0, quoted))).matched);
}

TEST(Reply, StaleBytesBehindTheDatagramDoNotCount)
{
    // The receive buffer still holds a whole matching answer from before; a
    // new, shorter error arrives over its start. Read past the bytes
    // received, the old quote would match.
    std::vector<std::uint8_t> buffer(1052, 0);
    const Bytes old = datagram(icmpError(3, 3, ourUdpProbe()));
    std::copy(old.begin(), old.end(), buffer.begin());
    ASSERT_TRUE(matchReply(buffer.data(), old.size(), kId, kPort).matched);

    Bytes fresh = datagram(icmpError(3, 3, ourUdpProbe(), 20));  // quotes the header only
    std::copy(fresh.begin(), fresh.end(), buffer.begin());
    EXPECT_FALSE(matchReply(buffer.data(), fresh.size(), kId, kPort).matched);
}

}  // namespace
}  // namespace vantor::access
