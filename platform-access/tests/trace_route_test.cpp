// The probe loop against a simulated network: each probe sent may draw
// answers that arrive after a delay on a clock of the simulation's own, so
// that waits of 5,000 ms take no time and every elapsed time is known.
#include "platform-access/core/trace_route.h"

#include "platform-access/tests/datagram_bytes_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantor::access {
namespace {

constexpr std::uint32_t kSource = 0x0A000005;       // 10.0.0.5
constexpr std::uint32_t kRouter = 0x0A000001;       // 10.0.0.1
constexpr std::uint32_t kDestination = 0xC0A80101;  // 192.168.1.1, printed as -1062731519
constexpr std::uint16_t kId = 0x2B67;

using testing::Bytes;
using testing::joined;
using testing::put16;

struct Answer {
    std::uint32_t delayMs;
    std::uint32_t sender;
    Bytes datagram;
};

Bytes withIpHeader(Bytes icmp)
{
    Bytes bytes(20, 0);
    bytes[0] = 0x45;
    bytes[9] = 1;
    bytes = joined(bytes, icmp, icmp.size());
    put16(bytes, 2, static_cast<std::uint16_t>(bytes.size()));
    return bytes;
}

// An ICMP error quoting the first 28 bytes of the probe.
Bytes errorFor(const ProbePacket& probe, std::uint8_t type, std::uint8_t code)
{
    Bytes icmp = {type, code, 0, 0, 0, 0, 0, 0};
    icmp = joined(icmp, probe, 28);
    return withIpHeader(icmp);
}

Bytes echoReplyFor(const ProbePacket& probe)
{
    Bytes icmp(probe.begin() + 20, probe.end());
    icmp[0] = 0;
    return withIpHeader(icmp);
}

Bytes echoReplyWithSequence(std::uint16_t sequence)
{
    Bytes icmp(12, 0);
    put16(icmp, 6, sequence);
    return withIpHeader(icmp);
}

bool isUdp(const ProbePacket& probe)
{
    return probe[9] == kProtocolUdp;
}

int ttlOf(const ProbePacket& probe)
{
    return probe[8];
}

std::uint16_t portOf(const ProbePacket& probe)
{
    return static_cast<std::uint16_t>((probe[isUdp(probe) ? 22 : 26] << 8) | probe[isUdp(probe) ? 23 : 27]);
}

// A network: one router at TTL 1, the destination from TTL 2 on.
// UDP answers come after 3 ms, ICMP answers after 5 ms.
std::vector<Answer> oneRouterAway(const ProbePacket& probe)
{
    if (ttlOf(probe) == 1) {
        return {{isUdp(probe) ? 3u : 5u, kRouter, errorFor(probe, 11, 0)}};
    }
    if (isUdp(probe)) {
        return {{3, kDestination, errorFor(probe, 3, 3)}};
    }
    return {{5, kDestination, echoReplyFor(probe)}};
}

class SimulatedNetwork final : public ITraceChannel {
public:
    std::function<std::vector<Answer>(const ProbePacket&)> network;
    std::function<bool(const std::string&)> listener;
    // Datagrams that arrive whatever is sent: (time, sender, bytes).
    std::vector<std::pair<std::uint64_t, Answer>> background;

    // Failure injection: the index of the send that fails or comes out
    // short, and the receive call that fails.
    int failingSend = -1;
    long sendError = 0;
    int shortSend = -1;
    int failingReceive = -1;
    Received failure = Received::Failed;
    long receiveError = 0;
    int oversizedReceive = -1;

    std::vector<ProbePacket> sent;
    std::vector<std::string> reports;
    std::vector<std::uint32_t> timeouts;  // as applied before each receive

    Sent send(const ProbePacket& packet, long& error) override
    {
        const int index = static_cast<int>(sent.size());
        sent.push_back(packet);
        if (index == failingSend) {
            error = sendError;
            return Sent::Failed;
        }
        if (index == shortSend) {
            return Sent::Short;
        }
        if (network) {
            for (Answer& answer : network(packet)) {
                const std::uint64_t at = m_now + answer.delayMs;
                m_pending.emplace_back(at, std::move(answer));
            }
        }
        return Sent::Whole;
    }

    Received receive(std::uint32_t timeoutMs, std::uint8_t* buffer, std::size_t capacity, std::size_t& received,
                     std::uint32_t& sender, long& error) override
    {
        EXPECT_GT(timeoutMs, 0u) << "a time-out of 0 means no time-out to the socket";
        EXPECT_EQ(kReceiveCapacity, capacity);
        const int index = static_cast<int>(timeouts.size());
        timeouts.push_back(timeoutMs);
        if (index == failingReceive) {
            error = receiveError;
            return failure;
        }
        if (index == oversizedReceive) {
            m_now += 1;
            return Received::Oversized;
        }
        for (auto& entry : background) {
            m_pending.push_back(entry);
        }
        background.clear();
        // The earliest datagram that arrives within the time-out.
        std::size_t best = m_pending.size();
        for (std::size_t i = 0; i < m_pending.size(); ++i) {
            if (m_pending[i].first <= m_now + timeoutMs &&
                (best == m_pending.size() || m_pending[i].first < m_pending[best].first)) {
                best = i;
            }
        }
        if (best == m_pending.size()) {
            m_now += timeoutMs;
            return Received::TimedOut;
        }
        const auto [at, answer] = m_pending[best];
        m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(best));
        if (at > m_now) {
            m_now = at;
        }
        EXPECT_LE(answer.datagram.size(), capacity);
        std::copy(answer.datagram.begin(), answer.datagram.end(), buffer);
        received = answer.datagram.size();
        sender = answer.sender;
        return Received::Datagram;
    }

    // The tick counter wraps at 32 bits like the system's.
    std::uint32_t tickCount() override { return static_cast<std::uint32_t>(m_now); }

    bool report(const char* text) override
    {
        reports.emplace_back(text);
        return listener ? listener(text) : true;
    }

    // The simulation's clock, started so that the tick counter wraps during
    // the first wait: only differences of ticks can work.
    std::uint64_t m_now = 0xFFFFF000u;

private:
    std::vector<std::pair<std::uint64_t, Answer>> m_pending;
};

TraceSettings settings(bool continuous = false)
{
    TraceSettings s;
    s.probeId = kId;
    s.sourceAddress = kSource;
    s.destinationAddress = kDestination;
    s.continuous = continuous;
    return s;
}

std::string hop(int ttl, std::uint32_t address, int elapsed, int udp)
{
    return std::to_string(ttl) + ", " + std::to_string(static_cast<std::int32_t>(address)) + ", " +
           std::to_string(elapsed) + ", " + std::to_string(udp);
}

TEST(TraceTexts, HopAndTimeout)
{
    char text[kReportCapacity];
    EXPECT_EQ(21u, formatHop(text, 1, 0xC0A80101, 12, true));
    EXPECT_STREQ("1, -1062731519, 12, 1", text);
    formatHop(text, 33, 0x7F000001, 0, false);
    EXPECT_STREQ("33, 2130706433, 0, 0", text);
    formatHop(text, 32, 0xFFFFFFFF, 0xFFFFFFFF, false);
    EXPECT_STREQ("32, -1, -1, 0", text);
    EXPECT_EQ(2u, formatTimeout(text, 17));
    EXPECT_STREQ("17", text);
}

TEST(Trace, DestinationOneRouterAway)
{
    SimulatedNetwork net;
    net.network = oneRouterAway;
    TraceFailure failure;
    EXPECT_TRUE(runTrace(net, settings(), failure));
    // The UDP answers come first. The router's answer to the first ICMP probe
    // arrives during the second wait, 1 ms before the destination's answer;
    // it is skipped, and the elapsed time counts from the receive call that
    // delivered the answer.
    EXPECT_EQ((std::vector<std::string>{hop(1, kRouter, 3, 1), hop(2, kDestination, 1, 1)}), net.reports);

    ASSERT_EQ(4u, net.sent.size());
    EXPECT_EQ(buildUdpProbe({kId, 1, kSource, kDestination}, 48132), net.sent[0]);
    EXPECT_EQ(buildIcmpProbe({kId, 1, kSource, kDestination}, 48132), net.sent[1]);
    EXPECT_EQ(buildUdpProbe({kId, 2, kSource, kDestination}, 48133), net.sent[2]);
    EXPECT_EQ(buildIcmpProbe({kId, 2, kSource, kDestination}, 48133), net.sent[3]);
}

TEST(Trace, ASilentRouterGetsThreeTimeoutsThenTheNextTtlFollows)
{
    SimulatedNetwork net;
    net.network = [](const ProbePacket& probe) -> std::vector<Answer> {
        switch (ttlOf(probe)) {
        case 1: return {{2, kRouter, errorFor(probe, 11, 0)}};
        case 2: return {};
        default: return isUdp(probe) ? std::vector<Answer>{{9, kDestination, errorFor(probe, 3, 3)}}
                                     : std::vector<Answer>{};
        }
    };
    TraceFailure failure;
    EXPECT_TRUE(runTrace(net, settings(), failure));
    EXPECT_EQ((std::vector<std::string>{hop(1, kRouter, 2, 1), "2", "2", "2", hop(3, kDestination, 9, 1)}),
              net.reports);
    // Each attempt sends a new probe number: 1 + 3 + 1 attempts.
    ASSERT_EQ(10u, net.sent.size());
    EXPECT_EQ(48132 + 4, portOf(net.sent[8]));
    EXPECT_EQ(3, ttlOf(net.sent[8]));
    // Every silent attempt waited the whole 5,000 ms in one receive.
    EXPECT_EQ(5000u, net.timeouts[1]);
}

TEST(Trace, NothingAnswersAndTheTraceEndsAfterTtl33)
{
    SimulatedNetwork net;
    TraceFailure failure;
    EXPECT_TRUE(runTrace(net, settings(), failure));
    ASSERT_EQ(99u, net.reports.size());
    EXPECT_EQ("1", net.reports.front());
    EXPECT_EQ("33", net.reports.back());
    EXPECT_EQ(198u, net.sent.size());
    EXPECT_EQ(33, ttlOf(net.sent.back()));
}

TEST(Trace, TheListenerAnsweringZeroEndsTheTrace)
{
    SimulatedNetwork net;
    net.network = oneRouterAway;
    net.listener = [](const std::string&) { return false; };
    TraceFailure failure;
    EXPECT_TRUE(runTrace(net, settings(), failure));
    EXPECT_EQ(1u, net.reports.size());
    EXPECT_EQ(2u, net.sent.size());

    // Also after a timeout.
    SimulatedNetwork silent;
    silent.listener = [](const std::string&) { return false; };
    EXPECT_TRUE(runTrace(silent, settings(), failure));
    EXPECT_EQ((std::vector<std::string>{"1"}), silent.reports);
}

TEST(Trace, UnrelatedTrafficDoesNotStretchTheWait)
{
    SimulatedNetwork net;
    // Another program's error and a stray echo reply arrive during the
    // first wait; nothing answers our probes.
    Bytes theirs = errorFor(buildUdpProbe({static_cast<std::uint16_t>(kId + 1), 1, kSource, kDestination}, 48132),
                            11, 0);
    net.background.push_back({net.m_now + 1000, {0, kRouter, theirs}});
    net.background.push_back({net.m_now + 3500, {0, kRouter, echoReplyWithSequence(9)}});
    net.listener = [](const std::string&) { return false; };
    TraceFailure failure;
    EXPECT_TRUE(runTrace(net, settings(), failure));
    EXPECT_EQ((std::vector<std::string>{"1"}), net.reports);
    // The time-out left is applied before every receive.
    EXPECT_EQ((std::vector<std::uint32_t>{5000, 4000, 1500}), net.timeouts);
}

TEST(Trace, AnOversizedDatagramIsSkipped)
{
    SimulatedNetwork net;
    net.network = oneRouterAway;
    net.oversizedReceive = 0;
    TraceFailure failure;
    EXPECT_TRUE(runTrace(net, settings(), failure));
    ASSERT_EQ(2u, net.reports.size());
    EXPECT_EQ(hop(1, kRouter, 2, 1), net.reports[0]);  // 1 ms went by with the oversized one
}

TEST(Trace, ContinuousModeProbesTheDestinationWithTtl32UntilStopped)
{
    // A destination that answers pings and drops UDP.
    SimulatedNetwork net;
    net.network = [](const ProbePacket& probe) -> std::vector<Answer> {
        if (isUdp(probe)) {
            return {};
        }
        return {{4, kDestination, echoReplyFor(probe)}};
    };
    net.listener = [&net](const std::string&) { return net.reports.size() < 4; };
    TraceFailure failure;
    EXPECT_TRUE(runTrace(net, settings(true), failure));
    EXPECT_EQ(std::vector<std::string>(4, hop(32, kDestination, 4, 0)), net.reports);
    // UDP and ICMP once, then ICMP alone: UDP probing stopped after the first
    // echo reply.
    ASSERT_EQ(5u, net.sent.size());
    EXPECT_TRUE(isUdp(net.sent[0]));
    for (std::size_t i = 1; i < net.sent.size(); ++i) {
        EXPECT_FALSE(isUdp(net.sent[i])) << i;
    }
    for (const ProbePacket& probe : net.sent) {
        EXPECT_EQ(32, ttlOf(probe));
    }
    EXPECT_EQ(48135, portOf(net.sent[4]));
}

TEST(Trace, ContinuousModeKeepsTheUdpProbeWhenItIsAnsweredFirst)
{
    SimulatedNetwork net;
    net.network = oneRouterAway;  // TTL 32: port unreachable after 3 ms, echo reply after 5
    net.listener = [&net](const std::string&) { return net.reports.size() < 3; };
    TraceFailure failure;
    EXPECT_TRUE(runTrace(net, settings(true), failure));
    // (The echo reply to the first ICMP probe arrives 1 ms before the second
    // answer and is skipped.)
    EXPECT_EQ((std::vector<std::string>{hop(32, kDestination, 3, 1), hop(32, kDestination, 1, 1),
                                        hop(32, kDestination, 3, 1)}),
              net.reports);
    ASSERT_EQ(4u, net.sent.size());
    EXPECT_FALSE(isUdp(net.sent[1]));
    EXPECT_TRUE(isUdp(net.sent[2]));
    EXPECT_TRUE(isUdp(net.sent[3]));
}

TEST(Trace, WithNeitherProbeKindLeftNoProtocolIsSelected)
{
    // The UDP probe is answered first, so ICMP probing stops; then an echo
    // reply carrying the next probe's number (another program's ping) stops
    // UDP probing as well.
    SimulatedNetwork net;
    net.network = [](const ProbePacket& probe) -> std::vector<Answer> {
        if (!isUdp(probe)) {
            return {};
        }
        std::vector<Answer> answers = {{3, kDestination, errorFor(probe, 3, 3)}};
        if (portOf(probe) == 48133) {
            answers.push_back({1, kDestination, echoReplyWithSequence(48133)});
        }
        return answers;
    };
    TraceFailure failure;
    EXPECT_FALSE(runTrace(net, settings(true), failure));
    EXPECT_STREQ("sendto", failure.operation);
    EXPECT_STREQ("no protocol selected", failure.message);
    EXPECT_FALSE(failure.withCode);
    EXPECT_EQ(2u, net.reports.size());
}

TEST(Trace, SendFailuresEndTheTrace)
{
    TraceFailure failure;
    {
        SimulatedNetwork net;
        net.failingSend = 0;
        net.sendError = 10013;
        EXPECT_FALSE(runTrace(net, settings(), failure));
        EXPECT_STREQ("sendto", failure.operation);
        EXPECT_STREQ("UDP operation failed", failure.message);
        EXPECT_TRUE(failure.withCode);
        EXPECT_EQ(10013, failure.code);
        EXPECT_TRUE(net.reports.empty());
    }
    {
        // The ICMP probe's failure carries the same texts.
        SimulatedNetwork net;
        net.failingSend = 1;
        net.sendError = 10051;
        failure = {};
        EXPECT_FALSE(runTrace(net, settings(), failure));
        EXPECT_STREQ("UDP operation failed", failure.message);
        EXPECT_EQ(10051, failure.code);
    }
    {
        SimulatedNetwork net;
        net.network = oneRouterAway;
        net.shortSend = 2;  // the second step's UDP probe
        failure = {};
        EXPECT_FALSE(runTrace(net, settings(), failure));
        EXPECT_STREQ("sendto", failure.operation);
        EXPECT_STREQ("UDP incomplete packet sent", failure.message);
        EXPECT_FALSE(failure.withCode);
        EXPECT_EQ(1u, net.reports.size());
        EXPECT_EQ(3u, net.sent.size());
    }
}

TEST(Trace, ReceiveFailuresEndTheTrace)
{
    TraceFailure failure;
    {
        SimulatedNetwork net;
        net.failingReceive = 0;
        net.receiveError = 10054;
        EXPECT_FALSE(runTrace(net, settings(), failure));
        EXPECT_STREQ("recvfrom", failure.operation);
        EXPECT_STREQ("operation failed", failure.message);
        EXPECT_TRUE(failure.withCode);
        EXPECT_EQ(10054, failure.code);
        EXPECT_TRUE(net.reports.empty());
    }
    {
        SimulatedNetwork net;
        net.failingReceive = 0;
        net.failure = ITraceChannel::Received::TimeoutNotSet;
        failure = {};
        EXPECT_FALSE(runTrace(net, settings(), failure));
        EXPECT_STREQ("setsockopt", failure.operation);
        EXPECT_STREQ("failed to set receive timeout socket options", failure.message);
        EXPECT_FALSE(failure.withCode);
    }
}

}  // namespace
}  // namespace vantor::access
