// What getDriveInfo reads from data the library does not control: a drive's
// mounted-devices value, the device-tree identifiers it leads to (with their
// USB vendor and product numbers) and the texts of a storage device
// descriptor.
//
// The first byte chooses the input. Mounted-devices value: the rest is the
// value's bytes; the identifier is then walked up a device tree whose node
// and parent identifiers are given by the value itself. Descriptor: the next
// two bytes are the count of bytes the device wrote, the rest the
// descriptor. Every input lies in a block of exactly its length.
//
// Properties: the identifier is empty for a value of 8 bytes or less, else it
// is the low bytes of the units after the first four, "#" turned into a
// backslash, up to the first low byte "{" or zero, without a backslash at its
// end;
// "VID" and "PID" are the 4 characters after the first "VID_" and "PID_" of
// the last identifier that has them; every descriptor text lies within the
// bytes the device wrote; the modified-UTF-8 reading of a text gives at most
// one unit per byte and ASCII as it stands.
#include "fuzz/fuzz_support.h"

#include "platform-access/core/drive_facts.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace access = vantor::access;

std::unique_ptr<unsigned char[]> exactCopy(const std::uint8_t* data, std::size_t size)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size]);
    if (size != 0) {
        std::memcpy(copy.get(), data, size);
    }
    return copy;
}

const std::wstring* textOf(const access::DriveFacts& facts, const char* key)
{
    const access::DriveFact* fact = facts.find(key);
    return fact == nullptr ? nullptr : std::get_if<std::wstring>(&fact->value);
}

// The expected identifier, read the plain way.
std::string expectedIdentifier(const std::uint8_t* value, std::size_t size)
{
    std::string identifier;
    if (size <= 8) {
        return identifier;
    }
    for (std::size_t unit = 4; unit < size / 2; ++unit) {
        // The narrow identifier is made of the units' low bytes, and it is
        // there that the "{" of the class GUID ends it.
        const unsigned char low = value[2 * unit];
        if (low == '{' || low == 0) {
            break;
        }
        identifier += low == '#' ? '\\' : static_cast<char>(low);
    }
    if (!identifier.empty() && identifier.back() == '\\') {
        identifier.pop_back();
    }
    return identifier;
}

// A device tree of three nodes whose identifiers are cut from one text: the
// located node, its parent and its grandparent.
class ScriptedTree : public access::DeviceTree {
public:
    explicit ScriptedTree(std::vector<std::wstring> identifiers) : m_identifiers(std::move(identifiers)) {}

    bool locate(const std::string&, Node& node) override
    {
        node = 0;
        return true;
    }
    bool parent(Node node, Node& parent) override
    {
        parent = node + 1;
        return parent < m_identifiers.size();
    }
    bool identifierLength(Node node, std::uint32_t& length) override
    {
        length = static_cast<std::uint32_t>(m_identifiers.at(node).size());
        return true;
    }
    bool identifier(Node node, std::uint32_t length, std::wstring& text) override
    {
        text = m_identifiers.at(node).substr(0, length);
        return true;
    }

private:
    std::vector<std::wstring> m_identifiers;
};

void checkVendorAndProduct(const std::vector<std::wstring>& reported, const access::DriveFacts& facts)
{
    for (const char* key : {"VID", "PID"}) {
        const std::wstring marker = std::wstring(key, key + 3) + L"_";
        const std::wstring* expected = nullptr;
        std::wstring value;
        for (const std::wstring& identifier : reported) {
            const std::size_t at = identifier.find(marker);
            if (at != std::wstring::npos && at + 4 + 4 <= identifier.size()) {
                value = identifier.substr(at + 4, 4);
                expected = &value;
            }
        }
        const std::wstring* put = textOf(facts, key);
        if (expected == nullptr) {
            FUZZ_CHECK(put == nullptr);
        } else {
            FUZZ_CHECK(put != nullptr && *put == *expected);
        }
    }
}

void mountedDevices(const std::uint8_t* data, std::size_t size)
{
    const auto value = exactCopy(data, size);
    const std::string identifier = access::mountedDeviceIdentifier(value.get(), size);
    FUZZ_CHECK(identifier == expectedIdentifier(data, size));

    // The tree's identifiers: the value's units split at "|" into the node's,
    // the parent's and the grandparent's.
    const std::wstring units = vantor::fuzz::unitsOf(data, size);
    std::vector<std::wstring> identifiers;
    for (std::size_t start = 0; identifiers.size() < 3;) {
        const std::size_t bar = units.find(L'|', start);
        identifiers.push_back(units.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start));
        if (bar == std::wstring::npos) {
            break;
        }
        start = bar + 1;
    }
    access::DriveFacts facts;
    ScriptedTree tree(identifiers);
    access::walkDeviceTree(identifier, tree, facts);
    std::vector<std::wstring> reported;
    if (const std::wstring* node = textOf(facts, "DevInst_DevID")) {
        reported.push_back(*node);
        FUZZ_CHECK(*node == identifiers[0]);
    }
    if (const std::wstring* parent = textOf(facts, "DevInstParent_DevID")) {
        reported.push_back(*parent);
        const bool removable = identifier.find("RemovableMedia") != std::string::npos;
        FUZZ_CHECK(identifiers.size() > (removable ? 2u : 1u));
        FUZZ_CHECK(*parent == identifiers[removable ? 2 : 1]);
    }
    checkVendorAndProduct(reported, facts);

    access::DriveFacts direct;
    access::addVendorAndProduct(units, direct);
    checkVendorAndProduct({units}, direct);
}

void descriptor(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return;
    }
    const std::size_t returned = (data[0] | data[1] << 8) % (access::kStorageDescriptorCapacity + 1);
    data += 2;
    size -= 2;
    // The device wrote `returned` bytes; the harness has only `size` of them
    // to give, so it hands over the smaller count.
    const std::size_t written = returned < size ? returned : size;
    const auto bytes = exactCopy(data, written);
    access::DriveFacts facts;
    access::addStorageDescriptorFacts(bytes.get(), written, facts);
    for (const access::DriveFact& fact : facts.entries()) {
        if (const std::wstring* text = std::get_if<std::wstring>(&fact.value)) {
            FUZZ_CHECK(text->size() <= written);
        }
    }

    const std::string raw(reinterpret_cast<const char*>(bytes.get()), written);
    const std::wstring decoded = access::decodeModifiedUtf8(raw);
    FUZZ_CHECK(decoded.size() <= raw.size());
    bool ascii = true;
    for (const char c : raw) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80 && c != '\0';
    }
    if (ascii) {
        FUZZ_CHECK(decoded == std::wstring(raw.begin(), raw.end()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    if ((data[0] & 1) == 0) {
        mountedDevices(data + 1, size - 1);
    } else {
        descriptor(data + 1, size - 1);
    }
    return 0;
}
