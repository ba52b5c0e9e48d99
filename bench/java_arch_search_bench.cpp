// The architecture probe's search of the probe jar for the JavaArch class
// entry. The jar is read whole and searched as bytes; this times the search
// on jar-like buffers of 1 MiB and 16 MiB with the entry name at the very end
// (the worst place) against memchr scanning the same bytes for a byte that
// does not occur, the least a search can do. It prints the ratio of the two
// and the 16 MiB / 1 MiB time ratio (about 16 when the search is linear).
#include "bench/bench_timer.h"
#include "updater/jvm/local_runtime_probe.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Bytes that look like compressed jar content: every value occurs, and the
// entry name's first letters often, so a search meets many false starts.
std::string jarLike(std::size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        const unsigned pick = (state >> 16) & 0xFF;
        bytes[i] = pick < 32 ? "ru/kestrel/core/JavaArch.clas"[pick % 29] : static_cast<char>(pick);
        if (bytes[i] == '\x7F') {
            bytes[i] = 'r';  // the byte the baseline looks for never occurs
        }
    }
    const std::string_view entry = vantor::kJavaArchEntry;
    bytes.replace(size - entry.size(), entry.size(), entry);
    return bytes;
}

double searchSeconds(const std::string& bytes)
{
    bool found = false;
    const double seconds = vantor::bench::medianSeconds(9, [&] { found = vantor::containsJavaArchEntry(bytes); });
    if (!found) {
        std::printf("the entry was not found\n");
    }
    return seconds;
}

double memchrSeconds(const std::string& bytes)
{
    const void* volatile hit = nullptr;
    return vantor::bench::medianSeconds(9, [&] { hit = std::memchr(bytes.data(), 0x7F, bytes.size()); });
}

}  // namespace

int main()
{
    const std::string small = jarLike(1u << 20);
    const std::string large = jarLike(16u << 20);
    const double smallSearch = searchSeconds(small);
    const double largeSearch = searchSeconds(large);
    const double largeScan = memchrSeconds(large);
    std::printf("entry search, 16 MiB: %.2f ms; memchr over the same bytes: %.2f ms\n", largeSearch * 1e3,
                largeScan * 1e3);
    std::printf("entry search / memchr: %.1f\n", largeSearch / largeScan);
    std::printf("entry search 16 MiB / 1 MiB: %.1f (16 when linear)\n", largeSearch / smallSearch);
    return 0;
}
