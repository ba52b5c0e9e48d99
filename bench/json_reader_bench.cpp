// Times the runtime descriptor's JSON reader on generated documents of
// 64 KiB, 1 MiB and 4 MiB, prints the time per MiB and the 4 MiB / 1 MiB
// time ratio (about 4 when reading is linear), and compares it with a
// well-known JSON library parsing the same document in the same run.
//
// Two shapes: "flat" (an object of many members with small nested arrays and
// objects, as a large descriptor would look) and "deep" (the same members
// inside 400 levels of nesting, which a reader that rescans nested text for
// every level would pay for many times over).
//
// A third time splits the reader's: its heap blocks alone. One parse of each
// document is recorded (the size of every block it allocates and which block
// every free gives back, freeing the value included), and the record is
// replayed with nothing else in between. The heap's cost per block grows as
// the blocks outgrow the caches, so the reader's time less the replay's is
// its own work, whose 4 MiB / 1 MiB ratio shows whether reading is linear.
#include "bench/bench_timer.h"
#include "tests/support/utf8.h"
#include "updater/download/json_reader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// One event of a recorded parse: a block of `size` bytes allocated, or
// (size 0) the block of allocation number `block` freed.
struct HeapEvent {
    std::size_t size;
    std::size_t block;
};

struct HeapRecord {
    bool on = false;
    std::vector<HeapEvent>* events = nullptr;
    std::unordered_map<void*, std::size_t>* live = nullptr;
    std::size_t allocations = 0;
};

HeapRecord g_record;

void* allocate(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    if (g_record.on) {
        g_record.on = false;  // the record's own containers are not recorded
        g_record.events->push_back({size == 0 ? 1 : size, 0});
        (*g_record.live)[block] = g_record.allocations++;
        g_record.on = true;
    }
    return block;
}

void release(void* block) noexcept
{
    if (block != nullptr && g_record.on) {
        g_record.on = false;
        const auto found = g_record.live->find(block);
        if (found != g_record.live->end()) {
            g_record.events->push_back({0, found->second});
            g_record.live->erase(found);
        }
        g_record.on = true;
    }
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}

void* operator new[](std::size_t size)
{
    return allocate(size);
}

void operator delete(void* block) noexcept
{
    release(block);
}

void operator delete[](void* block) noexcept
{
    release(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    release(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    release(block);
}

namespace {

// The heap events of `parse`, freeing its value included.
template <typename Parse>
std::vector<HeapEvent> recordHeap(Parse parse)
{
    std::vector<HeapEvent> events;
    std::unordered_map<void*, std::size_t> live;
    events.reserve(1u << 20);
    g_record = HeapRecord{true, &events, &live, 0};
    parse();
    g_record.on = false;
    return events;
}

// Allocates and frees as the record says, in its order. The recorded parse
// freed every block it made (its value included), so the replay leaves none.
void replayHeap(const std::vector<HeapEvent>& events, std::vector<void*>& blocks)
{
    std::size_t next = 0;
    for (const HeapEvent& event : events) {
        if (event.size != 0) {
            blocks[next++] = std::malloc(event.size);
        } else {
            std::free(blocks[event.block]);
        }
    }
}


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
    double heapMs;
    std::size_t blocks;
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
        const std::vector<HeapEvent> events = recordHeap([&] { (void)vantor::parseJson(text); });
        const std::size_t blocks = static_cast<std::size_t>(
            std::count_if(events.begin(), events.end(), [](const HeapEvent& event) { return event.size != 0; }));
        std::vector<void*> slots(blocks);
        const double heapMs =
            1000.0 * vantor::bench::fastestSeconds(runs, [&] { replayHeap(events, slots); });
        rows.push_back({label, utf8.size(), readerMs, libraryMs, heapMs, blocks});
    }

    std::printf("JSON reader, %s documents (members inside %d wrapping objects):\n", shape, depth);
    std::printf("  %-8s %10s %11s %11s %15s %9s %10s %12s\n", "size", "reader ms", "ms per MiB", "library ms",
                "reader/library", "blocks", "heap ms", "own work ms");
    for (const Row& row : rows) {
        const double mib = static_cast<double>(row.bytes) / (1024.0 * 1024.0);
        std::printf("  %-8s %10.2f %11.2f %11.2f %15.2f %9zu %10.2f %12.2f\n", row.label, row.readerMs,
                    row.readerMs / mib, row.libraryMs, row.readerMs / row.libraryMs, row.blocks, row.heapMs,
                    row.readerMs - row.heapMs);
    }
    // The library's ratio and the heap replay's show what the machine adds:
    // allocating and freeing a few hundred thousand small blocks costs more
    // per block as they outgrow the caches, whoever reads the document.
    const auto ratio = [&rows](double Row::*field) { return rows[2].*field / rows[1].*field; };
    const double ownLarge = rows[2].readerMs - rows[2].heapMs;
    const double ownSmall = rows[1].readerMs - rows[1].heapMs;
    std::printf("  4 MiB / 1 MiB time ratio: %.2f (linear: about 4; the library: %.2f; the reader's heap blocks "
                "alone: %.2f; its own work: %.2f)\n\n",
                ratio(&Row::readerMs), ratio(&Row::libraryMs), ratio(&Row::heapMs), ownLarge / ownSmall);
}

}  // namespace

int main()
{
    runShape("flat", 0);
    runShape("deep", 399);
    return 0;
}
