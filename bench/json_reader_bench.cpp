// Times the runtime descriptor's JSON reader on generated documents of
// 64 KiB, 1 MiB and 4 MiB, prints the time per MiB and the 4 MiB / 1 MiB
// time ratio (about 4 when reading is linear), and compares it with a
// well-known JSON library parsing the same document in the same run.
//
// Two shapes: "flat" (an object of many members with small nested arrays and
// objects, as a large descriptor would look) and "deep" (the same members
// inside 400 levels of nesting, which a reader that rescans nested text for
// every level would pay for many times over).
#include "bench/bench_timer.h"
#include "tests/support/utf8.h"
#include "updater/download/json_reader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {


// One member of about 200 bytes.
std::string member(std::size_t i)
{
    const std::string n = std::to_string(i);
    return "\"mirror" + n + "\": {\"url\": \"http://mirror" + n + ".example.test/runtime/jre2_packed.ebz\", " +
           "\"minVersion\": \"1.8." + std::to_string(i % 300) + "\", \"weight\": " + std::to_string(i % 97) +
           ".25, \"active\": " + (i % 3 == 0 ? "false" : "true") + ", \"tags\": [\"eu\", \"http\", " +
           std::to_string(i % 10) + "], \"note\": null}";
}

std::string document(std::size_t bytes, int depth)
{
    std::string head;
    std::string tail;
    for (int level = 0; level < depth; ++level) {
        head += "{\"level\": ";
        tail += "}";
    }
    std::string body = "{";
    for (std::size_t i = 0; body.size() + head.size() + tail.size() + 2 < bytes; ++i) {
        if (i > 0) {
            body += ",\n  ";
        }
        body += member(i);
    }
    body += "}";
    return head + body + tail;
}

// The best times of the two parses over `runs` rounds. The two take turns,
// round after round, so that a change of the machine's load falls on both,
// and each goes first in every other round, so that neither always finds the
// heap as the other left it.
template <typename Reader, typename Library>
std::pair<double, double> bestMilliseconds(int runs, Reader reader, Library library)
{
    double bestReader = 1e300;
    double bestLibrary = 1e300;
    const auto timeReader = [&] { bestReader = std::min(bestReader, 1000.0 * vantor::bench::secondsFor(1, reader)); };
    const auto timeLibrary = [&] {
        bestLibrary = std::min(bestLibrary, 1000.0 * vantor::bench::secondsFor(1, library));
    };
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            timeReader();
            timeLibrary();
        } else {
            timeLibrary();
            timeReader();
        }
    }
    return {bestReader, bestLibrary};
}

struct Row {
    const char* label;
    std::size_t bytes;
    double readerMs;
    double libraryMs;
};

void runShape(const char* shape, int depth)
{
    const std::vector<std::pair<const char*, std::size_t>> sizes = {
        {"64 KiB", 64u * 1024}, {"1 MiB", 1024u * 1024}, {"4 MiB", 4u * 1024 * 1024}};
    std::vector<Row> rows;
    for (const auto& [label, bytes] : sizes) {
        const std::string utf8 = document(bytes, depth);
        const std::wstring text = vantor::testing::widen(utf8);
        const int runs = bytes < 4u * 1024 * 1024 ? 50 : 25;
        std::size_t members = 0;
        std::size_t libraryMembers = 0;
        const auto [readerMs, libraryMs] = bestMilliseconds(
            runs,
            [&] {
                const vantor::JsonValue value = vantor::parseJson(text);
                members = value.members.size();
            },
            [&] {
                const nlohmann::json value = nlohmann::json::parse(utf8);
                libraryMembers = value.size();
            });
        if (members != libraryMembers) {
            std::printf("  (the readers disagree on %s: %zu and %zu members)\n", label, members, libraryMembers);
        }
        rows.push_back({label, utf8.size(), readerMs, libraryMs});
    }

    std::printf("JSON reader, %s documents (members inside %d wrapping objects):\n", shape, depth);
    std::printf("  %-8s %12s %12s %14s %16s\n", "size", "reader ms", "ms per MiB", "library ms", "reader/library");
    for (const Row& row : rows) {
        const double mib = static_cast<double>(row.bytes) / (1024.0 * 1024.0);
        std::printf("  %-8s %12.2f %12.2f %14.2f %16.2f\n", row.label, row.readerMs, row.readerMs / mib,
                    row.libraryMs, row.readerMs / row.libraryMs);
    }
    // The library's own ratio shows what the machine adds: building and
    // freeing millions of small heap blocks costs more per block as they
    // outgrow the caches, whoever reads the document.
    std::printf("  4 MiB / 1 MiB time ratio: %.2f (linear: about 4; the library: %.2f)\n\n",
                rows[2].readerMs / rows[1].readerMs, rows[2].libraryMs / rows[1].libraryMs);
}

}  // namespace

int main()
{
    runShape("flat", 0);
    runShape("deep", 399);
    return 0;
}
