// What getDriveInfo makes of device and registry data, on crafted bytes. The
// buffers handed in are exactly as long as the data (heap blocks of that
// size), so that the sanitizers of the native build catch any read past them.
#include "platform-access/core/drive_facts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantor::access {
namespace {

// Bytes held in a heap block of exactly their size.
class Bytes {
public:
    explicit Bytes(const std::vector<unsigned char>& bytes)
        : m_size(bytes.size()), m_data(new unsigned char[bytes.size() == 0 ? 1 : bytes.size()])
    {
        if (!bytes.empty()) {
            std::memcpy(m_data.get(), bytes.data(), bytes.size());
        }
    }
    const unsigned char* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }

private:
    std::size_t m_size;
    std::unique_ptr<unsigned char[]> m_data;
};

// The little-endian UTF-16 bytes of a text, as a mounted-devices value holds
// them (without a terminator).
std::vector<unsigned char> unitsOf(const std::wstring& text)
{
    std::vector<unsigned char> bytes;
    for (const wchar_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
    }
    return bytes;
}

std::string identifierOf(const std::vector<unsigned char>& value)
{
    const Bytes bytes(value);
    return mountedDeviceIdentifier(bytes.data(), bytes.size());
}

std::int64_t numberOf(const DriveFacts& facts, const std::string& key)
{
    const DriveFact* fact = facts.find(key);
    if (fact == nullptr || !std::holds_alternative<std::int64_t>(fact->value)) {
        ADD_FAILURE() << "no number " << key;
        return -1;
    }
    return std::get<std::int64_t>(fact->value);
}

std::wstring textOf(const DriveFacts& facts, const std::string& key)
{
    const DriveFact* fact = facts.find(key);
    if (fact == nullptr || !std::holds_alternative<std::wstring>(fact->value)) {
        ADD_FAILURE() << "no text " << key;
        return {};
    }
    return std::get<std::wstring>(fact->value);
}

std::vector<std::string> keysOf(const DriveFacts& facts)
{
    std::vector<std::string> keys;
    for (const DriveFact& fact : facts.entries()) {
        keys.push_back(fact.key);
    }
    return keys;
}

// --- drive names and sizes ---------------------------------------------------

TEST(DriveNames, RootDeviceAndValueNameKeepTheLetterAsGiven)
{
    EXPECT_EQ(L"c:\\", driveRoot(L'c'));
    EXPECT_EQ(L"\\\\.\\D:", driveDevicePath(L'D'));
    EXPECT_EQ(L"\\DosDevices\\e:", mountedDeviceValueName(L'e'));
    EXPECT_TRUE(isDriveLetter(L'a'));
    EXPECT_TRUE(isDriveLetter(L'Z'));
    for (const wchar_t other : {L'\0', L'1', L'@', L'[', L'`', L'{', L'\\', static_cast<wchar_t>(0x0441)}) {
        EXPECT_FALSE(isDriveLetter(other)) << static_cast<int>(other);
    }
}

TEST(DriveNames, DiskSizeIsTheProductIn64Bits)
{
    // 10,000 cylinders of 255 tracks of 63 sectors of 512 bytes: beyond 32 bits.
    EXPECT_EQ(82252800000ull, diskSize(10000, 255, 63, 512));
    EXPECT_EQ(0ull, diskSize(0, 255, 63, 512));
    // A product beyond 64 bits wraps around instead of being undefined.
    EXPECT_EQ(0ull, diskSize(std::int64_t(1) << 40, 1u << 8, 1u << 8, 1u << 8));
}

// --- storage device descriptor -------------------------------------------------

// A storage device descriptor as a device writes it.
class Descriptor {
public:
    explicit Descriptor(std::size_t size = kStorageDescriptorCapacity) : m_bytes(size, 0)
    {
        word(0, 40);  // version
        word(4, 40);  // size the descriptor needs
        word(28, 7);  // bus type: USB (the device type stays 0, direct access)
    }
    Descriptor& word(std::size_t offset, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i) {
            if (offset + i < m_bytes.size()) {
                m_bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
            }
        }
        return *this;
    }
    Descriptor& byte(std::size_t offset, unsigned char value)
    {
        m_bytes.at(offset) = value;
        return *this;
    }
    // Places the bytes of `text` (and a terminator when asked) at `offset`
    // and points the offset field `field` at them.
    Descriptor& text(std::size_t field, std::size_t offset, const std::string& text, bool terminated = true)
    {
        word(field, static_cast<std::uint32_t>(offset));
        for (std::size_t i = 0; i < text.size(); ++i) {
            m_bytes.at(offset + i) = static_cast<unsigned char>(text[i]);
        }
        if (terminated) {
            m_bytes.at(offset + text.size()) = 0;
        }
        return *this;
    }
    DriveFacts facts(std::size_t returned) const
    {
        const Bytes bytes(m_bytes);
        DriveFacts facts;
        addStorageDescriptorFacts(bytes.data(), returned, facts);
        return facts;
    }
    DriveFacts facts() const { return facts(m_bytes.size()); }

private:
    std::vector<unsigned char> m_bytes;
};

constexpr std::size_t kVendor = 12;
constexpr std::size_t kProduct = 16;
constexpr std::size_t kRevision = 20;
constexpr std::size_t kSerial = 24;

TEST(StorageDescriptor, UsbStickFieldsAndTexts)
{
    Descriptor descriptor(120);
    descriptor.word(4, 120).byte(10, 0xFF);  // any non-zero flag is 1
    descriptor.text(kVendor, 40, "SanDisk ").text(kProduct, 49, "Cruzer Blade    ");
    descriptor.text(kRevision, 66, "1.00").text(kSerial, 71, "4C530001230101117");
    const DriveFacts facts = descriptor.facts();
    EXPECT_EQ((std::vector<std::string>{"BusType", "DeviceType", "Removable", "VendorID", "ProductID",
                                        "ProductRevision", "SerialNumber"}),
              keysOf(facts));
    EXPECT_EQ(7, numberOf(facts, "BusType"));
    EXPECT_EQ(0, numberOf(facts, "DeviceType"));
    EXPECT_EQ(1, numberOf(facts, "Removable"));
    EXPECT_EQ(L"SanDisk ", textOf(facts, "VendorID"));
    EXPECT_EQ(L"Cruzer Blade    ", textOf(facts, "ProductID"));
    EXPECT_EQ(L"1.00", textOf(facts, "ProductRevision"));
    EXPECT_EQ(L"4C530001230101117", textOf(facts, "SerialNumber"));
}

TEST(StorageDescriptor, ZeroOffsetsGiveNoTextsAsUnderWine)
{
    // What Wine's disk driver answers: 40 bytes, SCSI bus, no texts.
    Descriptor descriptor(kStorageDescriptorCapacity);
    descriptor.word(28, 1).byte(8, 7);
    const DriveFacts facts = descriptor.facts(40);
    EXPECT_EQ((std::vector<std::string>{"BusType", "DeviceType", "Removable"}), keysOf(facts));
    EXPECT_EQ(1, numberOf(facts, "BusType"));
    EXPECT_EQ(7, numberOf(facts, "DeviceType"));
    EXPECT_EQ(0, numberOf(facts, "Removable"));
}

TEST(StorageDescriptor, OffsetsAtOrBeyondTheReportedSizeAreLeftOut)
{
    Descriptor descriptor(200);
    descriptor.word(4, 60);
    descriptor.text(kVendor, 50, "ok").text(kProduct, 60, "at size").text(kRevision, 150, "beyond");
    const DriveFacts facts = descriptor.facts();
    EXPECT_EQ(L"ok", textOf(facts, "VendorID"));
    EXPECT_EQ(nullptr, facts.find("ProductID"));
    EXPECT_EQ(nullptr, facts.find("ProductRevision"));
}

TEST(StorageDescriptor, TextsStayWithinTheReturnedBytes)
{
    // The descriptor claims 1,024 bytes but the device wrote only 64: an
    // offset past them gives nothing, and a text that runs past them is cut
    // where they end, even though the buffer holds more.
    Descriptor descriptor(kStorageDescriptorCapacity);
    descriptor.word(4, 1024);
    descriptor.text(kVendor, 56, "ABCDEFGHIJKL").text(kProduct, 64, "unwritten").text(kRevision, 300, "far");
    const DriveFacts facts = descriptor.facts(64);
    EXPECT_EQ(L"ABCDEFGH", textOf(facts, "VendorID"));
    EXPECT_EQ(nullptr, facts.find("ProductID"));
    EXPECT_EQ(nullptr, facts.find("ProductRevision"));
}

TEST(StorageDescriptor, UnterminatedTextAtTheBufferEndIsCutThere)
{
    // An offset near the end of the 1,024-byte buffer with no terminator
    // after it, and a device that reports more bytes than the buffer holds.
    Descriptor descriptor(kStorageDescriptorCapacity);
    descriptor.word(4, 5000);
    descriptor.text(kSerial, 1020, "WXYZ", false);
    const DriveFacts facts = descriptor.facts(5000);
    EXPECT_EQ(L"WXYZ", textOf(facts, "SerialNumber"));
}

TEST(StorageDescriptor, ShortAnswersGiveOnlyTheFieldsTheyHold)
{
    Descriptor descriptor(30);
    descriptor.byte(10, 1).word(4, 30).text(kVendor, 24, "abcdef", false);
    // 30 bytes: no room for the bus type; the unterminated vendor text runs
    // to the end of them.
    DriveFacts facts = descriptor.facts();
    EXPECT_EQ((std::vector<std::string>{"DeviceType", "Removable", "VendorID"}), keysOf(facts));
    EXPECT_EQ(L"abcdef", textOf(facts, "VendorID"));
    // 8 bytes: only the header.
    EXPECT_TRUE(Descriptor(8).facts().entries().empty());
    EXPECT_TRUE(Descriptor(0).facts().entries().empty());
}

TEST(StorageDescriptor, TextsAreReadAsModifiedUtf8WithStrayBytesKept)
{
    Descriptor descriptor(80);
    descriptor.word(4, 80).text(kVendor, 40, "Caf\xC3\xA9").text(kProduct, 50, "\xFFX\x80");
    const DriveFacts facts = descriptor.facts();
    EXPECT_EQ(L"Caf\u00E9", textOf(facts, "VendorID"));
    EXPECT_EQ(L"\u00FFX\u0080", textOf(facts, "ProductID"));
}

TEST(ModifiedUtf8, SequencesAndStrayBytes)
{
    EXPECT_EQ(L"abc", decodeModifiedUtf8("abc"));
    EXPECT_EQ(std::wstring(1, L'\0'), decodeModifiedUtf8("\xC0\x80"));  // the VM's form of U+0000
    EXPECT_EQ(L"\u20AC", decodeModifiedUtf8("\xE2\x82\xAC"));
    // Truncated sequences: each byte stands for itself.
    EXPECT_EQ(L"\u00E2\u0082", decodeModifiedUtf8("\xE2\x82"));
    EXPECT_EQ(L"\u00C3", decodeModifiedUtf8("\xC3"));
    // Four-byte UTF-8 is not modified UTF-8.
    EXPECT_EQ(L"\u00F0\u009F\u0098\u0080", decodeModifiedUtf8("\xF0\x9F\x98\x80"));
}

// --- mounted-devices identifier ------------------------------------------------

const std::wstring kUsbStickValue =
    L"\\??\\STORAGE#RemovableMedia#7&1&0&RM#{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";

TEST(MountedDevices, UsbStickEntryGivesTheStorageIdentifier)
{
    EXPECT_EQ("STORAGE\\RemovableMedia\\7&1&0&RM", identifierOf(unitsOf(kUsbStickValue)));
}

TEST(MountedDevices, DiskEntryAndTextWithoutBrace)
{
    EXPECT_EQ("SCSI\\Disk&Ven_WDC&Prod_WD10EZEX\\4&2a2b5a6f&0&000000",
              identifierOf(unitsOf(L"\\??\\SCSI#Disk&Ven_WDC&Prod_WD10EZEX#4&2a2b5a6f&0&000000#"
                                   L"{53f56307-b6bf-11d0-94f2-00a0c91efb8b}")));
    // Without a brace the text runs to the end of the value; a last "#"
    // (a backslash by then) is dropped.
    EXPECT_EQ("IDE\\CdRom", identifierOf(unitsOf(L"\\??\\IDE#CdRom#")));
    EXPECT_EQ("A", identifierOf(unitsOf(L"\\??\\A")));
}

TEST(MountedDevices, EightBytesOrLessHoldNoIdentifier)
{
    EXPECT_EQ("", identifierOf(unitsOf(L"\\??\\")));
    EXPECT_EQ("", identifierOf(unitsOf(L"\\??")));
    EXPECT_EQ("", identifierOf({}));
    EXPECT_EQ("", identifierOf(unitsOf(L"\\??\\{")));
}

TEST(MountedDevices, BasicDiskEntryGivesNothingReadable)
{
    // A basic disk's entry: its signature and the partition's byte offset.
    const std::vector<unsigned char> basicDisk = {0x6F, 0x5A, 0x2B, 0x2A, 0x00, 0x00,
                                                  0x10, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ("", identifierOf(basicDisk));
    // With a large offset its high bytes are not zero: some bytes that name
    // no device, never more than the value holds.
    const std::vector<unsigned char> farPartition = {1, 2, 3, 4, 5, 6, 7, 8, 0x41, 0x42, 0x43, 0x44};
    EXPECT_EQ("AC", identifierOf(farPartition));
}

TEST(MountedDevices, OddLengthIsReadInWholeUnits)
{
    // Wine's entry for c: is the 11 bytes "../drive_c" and a zero byte: five
    // whole units, of which only the fifth follows the prefix.
    const std::string wineValue("../drive_c\0", 11);
    EXPECT_EQ("_", identifierOf(std::vector<unsigned char>(wineValue.begin(), wineValue.end())));
    std::vector<unsigned char> value = unitsOf(L"\\??\\AB");
    value.push_back('C');  // half a unit
    EXPECT_EQ("AB", identifierOf(value));
}

TEST(MountedDevices, UnitsBecomeTheirLowBytesAndAZeroByteEndsTheText)
{
    EXPECT_EQ("AA", identifierOf(unitsOf(L"\\??\\\u0141\u0441")));
    EXPECT_EQ("AB", identifierOf(unitsOf(std::wstring(L"\\??\\AB\0CD", 9))));
    EXPECT_EQ("AB", identifierOf(unitsOf(L"\\??\\AB\u0100CD")));
}

// --- VID and PID ---------------------------------------------------------------

TEST(VendorAndProduct, FourCharactersAfterEachMarker)
{
    DriveFacts facts;
    addVendorAndProduct(L"USB\\VID_0781&PID_5567\\4C530001230101117", facts);
    EXPECT_EQ((std::vector<std::string>{"VID", "PID"}), keysOf(facts));
    EXPECT_EQ(L"0781", textOf(facts, "VID"));
    EXPECT_EQ(L"5567", textOf(facts, "PID"));
}

TEST(VendorAndProduct, MissingMarkersWrongCaseAndShortTails)
{
    DriveFacts facts;
    addVendorAndProduct(L"STORAGE\\REMOVABLEMEDIA\\7&1&0&RM", facts);
    addVendorAndProduct(L"USB\\vid_0781&pid_5567", facts);
    addVendorAndProduct(L"USB\\PID_12", facts);  // fewer than 4 characters follow
    EXPECT_TRUE(facts.entries().empty());
    addVendorAndProduct(L"USB\\PID_1234", facts);  // exactly 4
    EXPECT_EQ(L"1234", textOf(facts, "PID"));
    EXPECT_EQ(nullptr, facts.find("VID"));
}

TEST(VendorAndProduct, FirstOccurrenceOfEachMarkerCounts)
{
    DriveFacts facts;
    addVendorAndProduct(L"X\\PID_AAAA&VID_BBBB&VID_CCCC&PID_DDDD", facts);
    EXPECT_EQ(L"BBBB", textOf(facts, "VID"));
    EXPECT_EQ(L"AAAA", textOf(facts, "PID"));
}

// --- device tree ---------------------------------------------------------------

// A device tree of named nodes: node n has identifier ids[n] and parent
// parents[n]; lookups can be made to fail.
class FakeTree : public DeviceTree {
public:
    Node add(const std::wstring& identifier, Node parent = 0)
    {
        m_ids.push_back(identifier);
        m_parents.push_back(parent);
        return static_cast<Node>(m_ids.size());  // nodes count from 1
    }
    void failLengthOf(Node node) { m_failLength = node; }
    void failReadOf(Node node) { m_failRead = node; }
    void claimLength(Node node, std::uint32_t length) { m_claimed[node] = length; }
    std::vector<std::uint32_t> readLengths;

    bool locate(const std::string& identifier, Node& node) override
    {
        for (std::size_t i = 0; i < m_ids.size(); ++i) {
            if (std::string(m_ids[i].begin(), m_ids[i].end()) == identifier) {
                node = static_cast<Node>(i + 1);
                return true;
            }
        }
        return false;
    }
    bool parent(Node node, Node& parent) override
    {
        if (node == 0 || node > m_parents.size() || m_parents[node - 1] == 0) {
            return false;
        }
        parent = m_parents[node - 1];
        return true;
    }
    bool identifierLength(Node node, std::uint32_t& length) override
    {
        if (node == m_failLength || node == 0 || node > m_ids.size()) {
            return false;
        }
        const auto claimed = m_claimed.find(node);
        length = claimed != m_claimed.end() ? claimed->second : static_cast<std::uint32_t>(m_ids[node - 1].size());
        return true;
    }
    bool identifier(Node node, std::uint32_t length, std::wstring& text) override
    {
        readLengths.push_back(length);
        if (node == m_failRead) {
            return false;
        }
        text = m_ids[node - 1].substr(0, length);
        return true;
    }

private:
    std::vector<std::wstring> m_ids;
    std::vector<Node> m_parents;
    std::map<Node, std::uint32_t> m_claimed;
    Node m_failLength = 0;
    Node m_failRead = 0;
};

TEST(DeviceTreeWalk, UsbStickReportsTheUsbDeviceAsParent)
{
    // USB device > its disk drive > the removable medium.
    FakeTree tree;
    const auto usb = tree.add(L"USB\\VID_0781&PID_5567\\4C530001230101117");
    const auto disk = tree.add(L"USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE&REV_1.00\\4C530001230101117&0", usb);
    tree.add(L"STORAGE\\RemovableMedia\\7&1&0&RM", disk);

    DriveFacts facts;
    const Bytes value(unitsOf(kUsbStickValue));
    walkDeviceTree(mountedDeviceIdentifier(value.data(), value.size()), tree, facts);
    EXPECT_EQ((std::vector<std::string>{"DevInst_DevID", "DevInstParent_DevID", "VID", "PID"}), keysOf(facts));
    EXPECT_EQ(L"STORAGE\\RemovableMedia\\7&1&0&RM", textOf(facts, "DevInst_DevID"));
    EXPECT_EQ(L"USB\\VID_0781&PID_5567\\4C530001230101117", textOf(facts, "DevInstParent_DevID"));
    EXPECT_EQ(L"0781", textOf(facts, "VID"));
    EXPECT_EQ(L"5567", textOf(facts, "PID"));
}

TEST(DeviceTreeWalk, FixedDiskReportsItsDirectParent)
{
    FakeTree tree;
    const auto grandparent = tree.add(L"ROOT\\VID_FFFF&PID_FFFF");
    const auto controller = tree.add(L"PCI\\VEN_8086&DEV_2922", grandparent);
    tree.add(L"SCSI\\Disk&Ven_WDC\\4&2a2b5a6f&0&000000", controller);
    DriveFacts facts;
    walkDeviceTree("SCSI\\Disk&Ven_WDC\\4&2a2b5a6f&0&000000", tree, facts);
    EXPECT_EQ(L"PCI\\VEN_8086&DEV_2922", textOf(facts, "DevInstParent_DevID"));
    EXPECT_EQ(nullptr, facts.find("VID"));
    EXPECT_EQ(nullptr, facts.find("PID"));
}

TEST(DeviceTreeWalk, ParentValuesReplaceTheNodes)
{
    FakeTree tree;
    const auto hub = tree.add(L"USB\\VID_1111&PID_2222\\5");
    tree.add(L"USB\\VID_AAAA&PID_BBBB&MI_00\\6", hub);
    DriveFacts facts;
    walkDeviceTree("USB\\VID_AAAA&PID_BBBB&MI_00\\6", tree, facts);
    EXPECT_EQ(L"1111", textOf(facts, "VID"));
    EXPECT_EQ(L"2222", textOf(facts, "PID"));
    // The node's values came first and were replaced in place.
    EXPECT_EQ((std::vector<std::string>{"DevInst_DevID", "VID", "PID", "DevInstParent_DevID"}), keysOf(facts));
}

TEST(DeviceTreeWalk, StopsQuietlyWhereALookupFails)
{
    FakeTree tree;
    const auto root = tree.add(L"ROOT");
    tree.add(L"NO\\PARENT");
    const auto disk = tree.add(L"DISK\\1", root);
    DriveFacts facts;
    walkDeviceTree("UNKNOWN\\DEVICE", tree, facts);
    walkDeviceTree("NO\\PARENT", tree, facts);
    EXPECT_TRUE(facts.entries().empty());

    tree.failLengthOf(disk);
    walkDeviceTree("DISK\\1", tree, facts);
    EXPECT_TRUE(facts.entries().empty());

    FakeTree unreadable;
    const auto parent = unreadable.add(L"USB\\VID_1111&PID_2222");
    unreadable.add(L"DISK\\2", parent);
    unreadable.failReadOf(parent);
    walkDeviceTree("DISK\\2", unreadable, facts);
    EXPECT_EQ((std::vector<std::string>{"DevInst_DevID"}), keysOf(facts));
}

TEST(DeviceTreeWalk, MediumWithoutAGrandparentReportsNoParent)
{
    FakeTree tree;
    const auto drive = tree.add(L"USBSTOR\\DISK\\1");
    tree.add(L"STORAGE\\RemovableMedia\\1", drive);
    DriveFacts facts;
    walkDeviceTree("STORAGE\\RemovableMedia\\1", tree, facts);
    EXPECT_EQ((std::vector<std::string>{"DevInst_DevID"}), keysOf(facts));
}

TEST(DeviceTreeWalk, IdentifiersOf2048CharactersOrMoreAreNotReported)
{
    FakeTree tree;
    const auto parent = tree.add(L"USB\\VID_1234&PID_5678");
    const auto node = tree.add(L"LONG\\NODE", parent);
    tree.claimLength(node, kDeviceTreeIdentifierLimit);
    DriveFacts facts;
    walkDeviceTree("LONG\\NODE", tree, facts);
    // The node's identifier is skipped, its parent's still reported.
    EXPECT_EQ(nullptr, facts.find("DevInst_DevID"));
    EXPECT_EQ(L"USB\\VID_1234&PID_5678", textOf(facts, "DevInstParent_DevID"));
    EXPECT_EQ((std::vector<std::uint32_t>{21}), tree.readLengths);

    tree.claimLength(node, kDeviceTreeIdentifierLimit - 1);
    tree.claimLength(parent, kDeviceTreeIdentifierLimit);
    DriveFacts second;
    walkDeviceTree("LONG\\NODE", tree, second);
    EXPECT_EQ((std::vector<std::string>{"DevInst_DevID"}), keysOf(second));
}

}  // namespace
}  // namespace vantor::access
