#include "platform-access/core/drive_facts.h"

#include <algorithm>
#include <utility>

namespace vantor::access {
namespace {

// Little-endian fields of the storage device descriptor, at their offsets.
constexpr std::size_t kDescriptorSizeField = 4;    // 32-bit: the size the whole descriptor needs
constexpr std::size_t kDeviceTypeField = 8;        // byte: SCSI device type
constexpr std::size_t kRemovableField = 10;        // byte: removable-media flag
constexpr std::size_t kVendorOffsetField = 12;     // then product, revision, serial number: 32-bit each
constexpr std::size_t kBusTypeField = 28;          // 32-bit

struct DescriptorText {
    const char* key;
    std::size_t offsetField;
};
constexpr DescriptorText kDescriptorTexts[] = {
    {"VendorID", kVendorOffsetField},
    {"ProductID", kVendorOffsetField + 4},
    {"ProductRevision", kVendorOffsetField + 8},
    {"SerialNumber", kVendorOffsetField + 12},
};

// The 32-bit number at `offset`, when all four of its bytes lie within
// `available`.
bool readWord(const unsigned char* bytes, std::size_t available, std::size_t offset, std::uint32_t& word)
{
    if (offset > available || available - offset < 4) {
        return false;
    }
    word = static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
    return true;
}

// The first 4 characters after the first `marker` in `identifier`.
bool fourAfter(std::wstring_view identifier, std::wstring_view marker, std::wstring& found)
{
    const std::size_t at = identifier.find(marker);
    if (at == std::wstring_view::npos || identifier.size() - at - marker.size() < 4) {
        return false;
    }
    found = std::wstring(identifier.substr(at + marker.size(), 4));
    return true;
}

std::wstring withLetter(const wchar_t* head, wchar_t letter, const wchar_t* tail)
{
    std::wstring text(head);
    text += letter;
    text += tail;
    return text;
}

}  // namespace

// --- DriveFacts ----------------------------------------------------------------

void DriveFacts::put(std::string_view key, std::variant<std::int64_t, std::wstring> value)
{
    for (DriveFact& entry : m_entries) {
        if (entry.key == key) {
            entry.value = std::move(value);
            return;
        }
    }
    m_entries.push_back(DriveFact{std::string(key), std::move(value)});
}

void DriveFacts::put(std::string_view key, std::int64_t number)
{
    put(key, std::variant<std::int64_t, std::wstring>(number));
}

void DriveFacts::put(std::string_view key, std::wstring text)
{
    put(key, std::variant<std::int64_t, std::wstring>(std::move(text)));
}

const DriveFact* DriveFacts::find(std::string_view key) const
{
    for (const DriveFact& entry : m_entries) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

// --- drive names -------------------------------------------------------------

bool isDriveLetter(wchar_t letter) noexcept
{
    return (letter >= L'a' && letter <= L'z') || (letter >= L'A' && letter <= L'Z');
}

std::wstring driveRoot(wchar_t letter)
{
    return withLetter(L"", letter, L":\\");
}

std::wstring driveDevicePath(wchar_t letter)
{
    return withLetter(L"\\\\.\\", letter, L":");
}

std::wstring mountedDeviceValueName(wchar_t letter)
{
    return withLetter(L"\\DosDevices\\", letter, L":");
}

std::uint64_t diskSize(std::int64_t cylinders, std::uint32_t tracksPerCylinder, std::uint32_t sectorsPerTrack,
                       std::uint32_t bytesPerSector) noexcept
{
    return static_cast<std::uint64_t>(cylinders) * tracksPerCylinder * sectorsPerTrack * bytesPerSector;
}

// --- storage device descriptor -------------------------------------------------

void addStorageDescriptorFacts(const unsigned char* descriptor, std::size_t returned, DriveFacts& facts)
{
    const std::size_t available = std::min(returned, kStorageDescriptorCapacity);

    std::uint32_t busType = 0;
    if (readWord(descriptor, available, kBusTypeField, busType)) {
        facts.put("BusType", static_cast<std::int64_t>(busType));
    }
    if (available > kDeviceTypeField) {
        facts.put("DeviceType", static_cast<std::int64_t>(descriptor[kDeviceTypeField]));
    }
    if (available > kRemovableField) {
        facts.put("Removable", static_cast<std::int64_t>(descriptor[kRemovableField] != 0 ? 1 : 0));
    }

    std::uint32_t reportedSize = 0;
    if (!readWord(descriptor, available, kDescriptorSizeField, reportedSize)) {
        return;
    }
    for (const DescriptorText& text : kDescriptorTexts) {
        std::uint32_t offset = 0;
        if (!readWord(descriptor, available, text.offsetField, offset) || offset == 0 || offset >= reportedSize ||
            offset >= available) {
            continue;
        }
        const auto* begin = reinterpret_cast<const char*>(descriptor) + offset;
        const auto* end = reinterpret_cast<const char*>(descriptor) + available;
        facts.put(text.key, decodeModifiedUtf8(std::string_view(begin, std::find(begin, end, '\0') - begin)));
    }
}

// --- mounted-devices identifier ------------------------------------------------

std::string mountedDeviceIdentifier(const unsigned char* value, std::size_t size)
{
    constexpr std::size_t kPrefixUnits = 4;  // \??\ .
    if (size <= 8) {
        return {};
    }
    const std::size_t units = size / 2;
    std::string identifier;
    for (std::size_t i = kPrefixUnits; i < units; ++i) {
        // The low byte of the little-endian unit.
        const char c = static_cast<char>(value[2 * i]);
        if (c == '{' || c == '\0') {
            break;
        }
        identifier += c == '#' ? '\\' : c;
    }
    if (!identifier.empty() && identifier.back() == '\\') {
        identifier.pop_back();
    }
    return identifier;
}

std::wstring decodeModifiedUtf8(std::string_view bytes)
{
    const auto continuation = [&](std::size_t at) {
        return at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80;
    };
    const auto bits = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) & 0x3F);
    };

    std::wstring text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text += static_cast<wchar_t>(lead);
            i += 1;
        } else if ((lead & 0xE0) == 0xC0 && continuation(i + 1)) {
            text += static_cast<wchar_t>((lead & 0x1Fu) << 6 | bits(i + 1));
            i += 2;
        } else if ((lead & 0xF0) == 0xE0 && continuation(i + 1) && continuation(i + 2)) {
            text += static_cast<wchar_t>((lead & 0x0Fu) << 12 | bits(i + 1) << 6 | bits(i + 2));
            i += 3;
        } else {
            text += static_cast<wchar_t>(lead);
            i += 1;
        }
    }
    return text;
}

// --- device tree ---------------------------------------------------------------

void addVendorAndProduct(std::wstring_view identifier, DriveFacts& facts)
{
    std::wstring number;
    if (fourAfter(identifier, L"VID_", number)) {
        facts.put("VID", number);
    }
    if (fourAfter(identifier, L"PID_", number)) {
        facts.put("PID", number);
    }
}

void walkDeviceTree(const std::string& identifier, DeviceTree& tree, DriveFacts& facts)
{
    DeviceTree::Node node = 0;
    DeviceTree::Node parent = 0;
    if (!tree.locate(identifier, node) || !tree.parent(node, parent)) {
        return;
    }
    // A medium's node hangs below the node of its drive, which hangs below
    // the device that carries it (the USB stick, say).
    bool parentKnown = true;
    if (identifier.find("RemovableMedia") != std::string::npos) {
        DeviceTree::Node grandparent = 0;
        parentKnown = tree.parent(parent, grandparent);
        parent = grandparent;
    }

    std::uint32_t length = 0;
    if (!tree.identifierLength(node, length)) {
        return;
    }
    if (length < kDeviceTreeIdentifierLimit) {
        std::wstring text;
        if (!tree.identifier(node, length, text)) {
            return;
        }
        facts.put("DevInst_DevID", text);
        addVendorAndProduct(text, facts);
    }

    // Without the device the medium sits in, the drive's parent would be
    // reported as that device; nothing is reported instead.
    if (!parentKnown || !tree.identifierLength(parent, length) || length >= kDeviceTreeIdentifierLimit) {
        return;
    }
    std::wstring text;
    if (!tree.identifier(parent, length, text)) {
        return;
    }
    facts.put("DevInstParent_DevID", text);
    addVendorAndProduct(text, facts);
}

}  // namespace vantor::access
