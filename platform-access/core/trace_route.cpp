#include "platform-access/core/trace_route.h"

#include <cstdio>

namespace vantor::access {
namespace {

std::size_t lengthOf(int written) noexcept
{
    if (written < 0) {
        return 0;
    }
    return static_cast<std::size_t>(written) < kReportCapacity ? static_cast<std::size_t>(written)
                                                               : kReportCapacity - 1;
}

enum class Wait {
    Answered,  // a matching answer was reported and the listener wants more
    Silent,    // the time ran out without a matching answer
    Stop,      // the listener or a failed report ended the trace
    Failed,    // `failure` is set
};

class ProbeLoop {
public:
    ProbeLoop(ITraceChannel& channel, const TraceSettings& settings, TraceFailure& failure)
        : m_channel(channel), m_settings(settings), m_failure(failure)
    {
    }

    bool run()
    {
        int timeToLive = m_settings.continuous ? kContinuousTimeToLive : 0;
        for (;;) {
            if (!m_settings.continuous) {
                ++timeToLive;
            }
            bool reached = false;
            bool answered = false;
            for (int attempt = 0; attempt < kAttemptsPerStep && !reached && !answered; ++attempt) {
                const std::uint16_t port = probePort(m_probeNumber);
                if (!sendProbes(timeToLive, port)) {
                    return false;
                }
                ++m_probeNumber;
                switch (waitForAnswer(timeToLive, port, reached)) {
                case Wait::Answered: answered = true; break;
                case Wait::Silent: {
                    char text[kReportCapacity];
                    formatTimeout(text, timeToLive);
                    if (!m_channel.report(text)) {
                        return true;
                    }
                    break;
                }
                case Wait::Stop: return true;
                case Wait::Failed: return false;
                }
            }
            if (!m_settings.continuous && (reached || timeToLive >= kLastTimeToLive)) {
                return true;
            }
        }
    }

private:
    bool fail(const char* operation, const char* message)
    {
        m_failure = TraceFailure{operation, message, false, 0};
        return false;
    }

    bool sendOne(const ProbePacket& packet)
    {
        long error = 0;
        switch (m_channel.send(packet, error)) {
        case ITraceChannel::Sent::Whole: return true;
        case ITraceChannel::Sent::Short: return fail("sendto", "UDP incomplete packet sent");
        case ITraceChannel::Sent::Failed: break;
        }
        m_failure = TraceFailure{"sendto", "UDP operation failed", true, error};
        return false;
    }

    bool sendProbes(int timeToLive, std::uint16_t port)
    {
        if (!m_useUdp && !m_useIcmp) {
            return fail("sendto", "no protocol selected");
        }
        ProbeHeader header;
        header.identification = m_settings.probeId;
        header.timeToLive = static_cast<std::uint8_t>(timeToLive);
        header.sourceAddress = m_settings.sourceAddress;
        header.destinationAddress = m_settings.destinationAddress;
        if (m_useUdp && !sendOne(buildUdpProbe(header, port))) {
            return false;
        }
        if (m_useIcmp && !sendOne(buildIcmpProbe(header, port))) {
            return false;
        }
        return true;
    }

    // Waits for the answer to the probes with `port`: at most 5,000 ms from
    // the start of the wait, the time left being applied before every
    // receive, so that a stream of unrelated ICMP traffic cannot stretch it.
    Wait waitForAnswer(int timeToLive, std::uint16_t port, bool& reached)
    {
        const std::uint32_t start = m_channel.tickCount();
        for (;;) {
            const std::uint32_t waited = m_channel.tickCount() - start;
            if (waited >= kAnswerWaitMs) {
                return Wait::Silent;
            }
            const std::uint32_t before = m_channel.tickCount();
            std::size_t received = 0;
            std::uint32_t sender = 0;
            long error = 0;
            switch (m_channel.receive(kAnswerWaitMs - waited, m_buffer, sizeof m_buffer, received, sender, error)) {
            case ITraceChannel::Received::Datagram: break;
            case ITraceChannel::Received::Oversized: continue;  // nothing of ours is that large
            case ITraceChannel::Received::TimedOut: return Wait::Silent;
            case ITraceChannel::Received::TimeoutNotSet:
                fail("setsockopt", "failed to set receive timeout socket options");
                return Wait::Failed;
            case ITraceChannel::Received::Failed:
                m_failure = TraceFailure{"recvfrom", "operation failed", true, error};
                return Wait::Failed;
            }
            const std::uint32_t arrived = m_channel.tickCount();
            const ReplyMatch match = matchReply(m_buffer, received, m_settings.probeId, port);
            if (!match.matched) {
                continue;
            }
            if (match.reached) {
                reached = true;
            }
            if (m_settings.continuous) {
                // Keep probing only with the kind of probe that is answered.
                if (match.toUdpProbe) {
                    m_useIcmp = false;
                } else {
                    m_useUdp = false;
                }
            }
            char text[kReportCapacity];
            formatHop(text, timeToLive, sender, arrived - before, match.toUdpProbe);
            return m_channel.report(text) ? Wait::Answered : Wait::Stop;
        }
    }

    ITraceChannel& m_channel;
    const TraceSettings& m_settings;
    TraceFailure& m_failure;
    std::uint32_t m_probeNumber = 0;
    bool m_useUdp = true;
    bool m_useIcmp = true;
    std::uint8_t m_buffer[kReceiveCapacity] = {};
};

}  // namespace

std::size_t formatHop(char (&out)[kReportCapacity], int timeToLive, std::uint32_t address,
                      std::uint32_t elapsedMs, bool udpProbe) noexcept
{
    return lengthOf(std::snprintf(out, kReportCapacity, "%d, %ld, %d, %d", timeToLive,
                                  static_cast<long>(static_cast<std::int32_t>(address)),
                                  static_cast<int>(static_cast<std::int32_t>(elapsedMs)), udpProbe ? 1 : 0));
}

std::size_t formatTimeout(char (&out)[kReportCapacity], int timeToLive) noexcept
{
    return lengthOf(std::snprintf(out, kReportCapacity, "%ld", static_cast<long>(timeToLive)));
}

bool runTrace(ITraceChannel& channel, const TraceSettings& settings, TraceFailure& failure)
{
    ProbeLoop loop(channel, settings, failure);
    return loop.run();
}

}  // namespace vantor::access
