// The probe loop of the route trace and the texts it reports. Pure: the
// sockets, the tick counter and the Java listener are reached through
// ITraceChannel, so that the loop's rules (three attempts per step, the wait
// of 5,000 ms, which answer ends what) are tested natively with a scripted
// channel, and the Win32 layer only moves bytes.
#pragma once

#include "platform-access/core/probe_packet.h"

#include <cstddef>
#include <cstdint>

namespace vantor::access {

// How long one attempt waits for its answer, in milliseconds.
inline constexpr std::uint32_t kAnswerWaitMs = 5000;
// Attempts per TTL step, and the last TTL of a normal trace.
inline constexpr int kAttemptsPerStep = 3;
inline constexpr int kLastTimeToLive = 33;
// The TTL of every probe in continuous mode.
inline constexpr int kContinuousTimeToLive = 32;
// The largest datagram read from the receive socket.
inline constexpr std::size_t kReceiveCapacity = 1052;

// Texts handed to the listener; the buffers below hold the longest of them.
inline constexpr std::size_t kReportCapacity = 64;

// "<ttl>, <address>, <elapsed>, <1|0>": the answering address (host order)
// printed as a signed 32-bit decimal, the elapsed milliseconds as a signed
// decimal, 1 when the UDP probe was answered. Returns the text's length.
std::size_t formatHop(char (&out)[kReportCapacity], int timeToLive, std::uint32_t address,
                      std::uint32_t elapsedMs, bool udpProbe) noexcept;

// "<ttl>": an attempt that got no answer. Returns the text's length.
std::size_t formatTimeout(char (&out)[kReportCapacity], int timeToLive) noexcept;

// What the trace needs from the outside world.
class ITraceChannel {
public:
    enum class Sent { Whole, Short, Failed };
    enum class Received {
        Datagram,       // `received` bytes and the sender's address are set
        Oversized,      // a datagram larger than the buffer arrived and was cut
        TimedOut,       // nothing arrived within the time-out
        TimeoutNotSet,  // the time-out could not be applied to the socket
        Failed,         // any other receive error; `error` is set
    };

    virtual ~ITraceChannel() = default;

    // Sends one probe whole. On Failed, `error` is the socket error code.
    virtual Sent send(const ProbePacket& packet, long& error) = 0;

    // Applies `timeoutMs` (more than 0) as the receive time-out and receives
    // one datagram of at most `capacity` bytes into `buffer`.
    virtual Received receive(std::uint32_t timeoutMs, std::uint8_t* buffer, std::size_t capacity,
                             std::size_t& received, std::uint32_t& sender, long& error) = 0;

    // The millisecond tick counter (it wraps; only differences are used).
    virtual std::uint32_t tickCount() = 0;

    // Hands a text to the listener. False ends the trace: the listener
    // answered 0, or the text could not be delivered (the channel has then
    // reported that failure itself).
    virtual bool report(const char* text) = 0;
};

struct TraceSettings {
    std::uint16_t probeId = 0;
    std::uint32_t sourceAddress = 0;       // host order
    std::uint32_t destinationAddress = 0;  // host order
    bool continuous = false;
};

// A failure that ends the trace: the (operation, message) pair of the access
// exception, with the socket error code when `withCode` is set.
struct TraceFailure {
    const char* operation = nullptr;
    const char* message = nullptr;
    bool withCode = false;
    long code = 0;
};

// Runs the probe loop.
//
// A normal trace sends probes with TTL 1, 2, ... 33; a continuous trace sends
// every probe with TTL 32 and runs until the listener stops it. Each TTL step
// makes up to three attempts; an attempt sends the UDP and/or the ICMP probe
// of the next probe number and waits up to 5,000 ms for an answer to it,
// which it reports as a hop, or reports a timeout. A step ends at the first
// answer; the normal trace ends when the destination answered or after TTL
// 33. In continuous mode the probe kind that was not answered is dropped.
//
// Returns true when the trace ended normally (or because the listener or a
// failed report ended it), false with `failure` set when it must be reported
// as an access exception.
bool runTrace(ITraceChannel& channel, const TraceSettings& settings, TraceFailure& failure);

}  // namespace vantor::access
