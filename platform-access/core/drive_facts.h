// What getDriveInfo makes of the facts Windows gives it about a drive: the
// names it asks for, the disk size, the texts of a storage device descriptor,
// the device identifier in a mounted-devices value, the walk up the device
// tree and the USB vendor and product numbers. Pure: no Windows header, so
// that it is also built and tested natively, on crafted bytes.
//
// All of it reads device and registry data that the library does not control:
// a descriptor's text offsets may point anywhere, its texts need not be
// terminated, a registry value may have any length. Nothing here reads past
// the bytes it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vantor::access {

// One entry of the drive information map: a number (a java.lang.Long) or a
// text (a java.lang.String).
struct DriveFact {
    std::string key;
    std::variant<std::int64_t, std::wstring> value;
};

// The entries of the drive information map in the order they were first put.
// Putting a key again replaces its value in place, as the Java map does.
class DriveFacts {
public:
    void put(std::string_view key, std::int64_t number);
    void put(std::string_view key, std::wstring text);

    // The entry of `key`, or null.
    const DriveFact* find(std::string_view key) const;
    const std::vector<DriveFact>& entries() const { return m_entries; }

private:
    void put(std::string_view key, std::variant<std::int64_t, std::wstring> value);

    std::vector<DriveFact> m_entries;
};

// --- drive names -------------------------------------------------------------

// True for a to z in either case: the letters a drive can have.
bool isDriveLetter(wchar_t letter) noexcept;
// The root folder of a drive, "c:\" (the letter as given).
std::wstring driveRoot(wchar_t letter);
// The device of a drive, "\\.\c:".
std::wstring driveDevicePath(wchar_t letter);
// The name of a drive's value in the mounted-devices table, "\DosDevices\c:".
std::wstring mountedDeviceValueName(wchar_t letter);

// --- disk geometry -----------------------------------------------------------

// Cylinders x tracks per cylinder x sectors per track x bytes per sector, in
// 64 bits (a product beyond 64 bits wraps around rather than being undefined).
std::uint64_t diskSize(std::int64_t cylinders, std::uint32_t tracksPerCylinder, std::uint32_t sectorsPerTrack,
                       std::uint32_t bytesPerSector) noexcept;

// --- storage device descriptor -------------------------------------------------

// The size of the buffer the descriptor is asked into.
inline constexpr std::size_t kStorageDescriptorCapacity = 1024;

// Puts what a storage device descriptor tells: "BusType", "DeviceType",
// "Removable" (0 or 1), then "VendorID", "ProductID", "ProductRevision" and
// "SerialNumber" for each text offset that is non-zero and smaller than the
// descriptor's own size. `returned` is the number of bytes the device wrote.
// Only the bytes within both `returned` and the descriptor buffer are read: a
// field that lies beyond them is left out, and a text runs to its terminator
// or is cut where those bytes end.
void addStorageDescriptorFacts(const unsigned char* descriptor, std::size_t returned, DriveFacts& facts);

// --- mounted-devices identifier ------------------------------------------------

// The device instance identifier held in a drive's mounted-devices value (the
// value's bytes read as UTF-16 units, `size` bytes in all; an odd last byte
// belongs to no unit). A value of 8 bytes or less holds none. Otherwise, after
// the first 4 units (the prefix \??\), each unit becomes its low byte and "#"
// a backslash, up to the first "{", the first unit whose low byte is zero or
// the end of the value; a backslash at the end is dropped. For example
// \??\STORAGE#RemovableMedia#7&1&0&RM#{53f5630d-...} gives
// STORAGE\RemovableMedia\7&1&0&RM. A value that is not such a text gives
// bytes that name no device (or nothing).
std::string mountedDeviceIdentifier(const unsigned char* value, std::size_t size);

// A byte text as the Java VM's modified-UTF-8 string constructor reads it:
// its one-, two- and three-byte sequences become UTF-16 units. Device and
// registry data need not be modified UTF-8 at all; a byte that starts no
// valid sequence stands for itself (U+0080 to U+00FF) instead of reaching
// the VM malformed.
std::wstring decodeModifiedUtf8(std::string_view bytes);

// --- device tree ---------------------------------------------------------------

// The configuration manager's device tree, as the walk uses it.
class DeviceTree {
public:
    using Node = std::uint32_t;

    virtual ~DeviceTree() = default;
    // The node of a device instance identifier.
    virtual bool locate(const std::string& identifier, Node& node) = 0;
    virtual bool parent(Node node, Node& parent) = 0;
    // The length of a node's identifier in characters, terminator excluded.
    virtual bool identifierLength(Node node, std::uint32_t& length) = 0;
    // The node's identifier, read into a buffer of `length` + 1 characters;
    // `text` holds at most `length` of them.
    virtual bool identifier(Node node, std::uint32_t length, std::wstring& text) = 0;
};

// Device-tree identifiers of this length or more are not reported.
inline constexpr std::uint32_t kDeviceTreeIdentifierLimit = 2048;

// Locates the node of a mounted-devices identifier and its parent (for a
// removable-media node, its parent's parent: the device the medium sits in)
// and puts "DevInst_DevID" and "DevInstParent_DevID" with their identifiers,
// and "VID" and "PID" from each (the parent's replace the node's). Stops
// quietly at the first step that fails.
void walkDeviceTree(const std::string& identifier, DeviceTree& tree, DriveFacts& facts);

// Puts "VID" with the 4 characters after the first "VID_" of a device-tree
// identifier and "PID" with those after the first "PID_" (exact case), each
// only when it is there and 4 characters follow it.
void addVendorAndProduct(std::wstring_view identifier, DriveFacts& facts);

}  // namespace vantor::access
