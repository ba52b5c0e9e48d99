// The trace route's reading of the datagrams a raw ICMP socket delivers:
// anything may arrive there, from any host, for any program.
//
// The first four bytes are the trace's probe id and the probe port being
// waited for; the fifth chooses the datagram. Either the rest is the
// datagram as it stands, or the datagram is built as an answer to a real
// probe of this trace (an echo reply, or a time-exceeded or unreachable
// message quoting the probe) with the rest of the bytes overwriting some of
// its fields.
//
// Properties: the datagram lies in a block of exactly its length, so no
// field is read beyond what was received; a match needs the total length to
// be the received length, an ICMP type of 0, 3 or 11, and for an echo reply
// the port as its sequence number; "reached" only for an echo reply or a
// protocol or port unreachable; an answer to the UDP probe only from a time
// exceeded or unreachable message. An untouched answer to a real probe
// matches, names the probe it answers, and stops matching for another port.
#include "fuzz/fuzz_support.h"

#include "platform-access/core/probe_packet.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

namespace access = vantor::access;

std::uint16_t be16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

void put16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

access::ReplyMatch match(const std::vector<std::uint8_t>& datagram, std::uint16_t probeId, std::uint16_t port)
{
    const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[datagram.size()]);
    if (!datagram.empty()) {
        std::memcpy(exact.get(), datagram.data(), datagram.size());
    }
    return access::matchReply(exact.get(), datagram.size(), probeId, port);
}

void checkShape(const std::vector<std::uint8_t>& datagram, std::uint16_t port, const access::ReplyMatch& result)
{
    if (!result.matched) {
        FUZZ_CHECK(!result.reached);
        return;
    }
    FUZZ_CHECK(datagram.size() >= 20 + 8);
    FUZZ_CHECK(be16(&datagram[2]) == datagram.size());
    const std::size_t headerLength = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
    FUZZ_CHECK(headerLength >= 20 && headerLength + 8 <= datagram.size());
    const std::uint8_t type = datagram[headerLength];
    const std::uint8_t code = datagram[headerLength + 1];
    FUZZ_CHECK(type == 0 || type == 3 || type == 11);
    if (type == 0) {
        FUZZ_CHECK(be16(&datagram[headerLength + 6]) == port);
        FUZZ_CHECK(!result.toUdpProbe);
        FUZZ_CHECK(result.reached);
    } else {
        FUZZ_CHECK(result.reached == (type == 3 && (code == 2 || code == 3)));
    }
}

// An answer to the probe with `port`: an echo reply from the destination, or
// an ICMP error that quotes the probe's IP header and first 8 bytes.
std::vector<std::uint8_t> answerTo(const access::ProbePacket& probe, std::uint8_t type, std::uint8_t code)
{
    std::vector<std::uint8_t> datagram(20);
    datagram[0] = 0x45;
    datagram[8] = 64;
    datagram[9] = access::kProtocolIcmp;
    if (type == 0) {
        // The echo reply gives the request's ICMP part back.
        datagram.insert(datagram.end(), probe.begin() + 20, probe.end());
        datagram[20] = 0;
        datagram[21] = 0;
    } else {
        const std::uint8_t header[8] = {type, code, 0, 0, 0, 0, 0, 0};
        datagram.insert(datagram.end(), header, header + 8);
        datagram.insert(datagram.end(), probe.begin(), probe.begin() + 28);
    }
    put16(&datagram[2], static_cast<std::uint16_t>(datagram.size()));
    return datagram;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5) {
        return 0;
    }
    const std::uint16_t probeId = be16(data);
    const std::uint16_t port = be16(data + 2);
    const std::uint8_t choice = data[4];
    data += 5;
    size -= 5;

    if ((choice & 1) == 0) {
        const std::vector<std::uint8_t> datagram(data, data + size);
        checkShape(datagram, port, match(datagram, probeId, port));
        return 0;
    }

    access::ProbeHeader header;
    header.identification = probeId;
    header.timeToLive = static_cast<std::uint8_t>(choice >> 4);
    header.sourceAddress = 0x0A000001;
    header.destinationAddress = 0xC0A80101;
    const bool udp = (choice & 2) != 0;
    const access::ProbePacket probe = udp ? access::buildUdpProbe(header, port) : access::buildIcmpProbe(header, port);
    static const std::uint8_t kAnswers[][2] = {{11, 0}, {3, 3}, {3, 2}, {3, 1}, {0, 0}};
    const std::uint8_t* answer = kAnswers[(choice >> 2) % 5];
    if (answer[0] == 0 && udp) {
        answer = kAnswers[0];  // a UDP probe gets no echo reply
    }
    std::vector<std::uint8_t> datagram = answerTo(probe, answer[0], answer[1]);

    const access::ReplyMatch untouched = match(datagram, probeId, port);
    checkShape(datagram, port, untouched);
    FUZZ_CHECK(untouched.matched);
    FUZZ_CHECK(untouched.toUdpProbe == udp);
    FUZZ_CHECK(untouched.reached == (answer[0] == 0 || (answer[0] == 3 && (answer[1] == 2 || answer[1] == 3))));
    FUZZ_CHECK(!match(datagram, probeId, static_cast<std::uint16_t>(port + 1)).matched);

    // The rest overwrites pairs of (position, byte), and the datagram may be
    // cut or grown; whatever it then says, it is read safely.
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        if (data[i] == 0xFF) {
            datagram.resize(data[i + 1] % 96);
        } else if (!datagram.empty()) {
            datagram[data[i] % datagram.size()] = data[i + 1];
        }
    }
    checkShape(datagram, port, match(datagram, probeId, port));
    return 0;
}
