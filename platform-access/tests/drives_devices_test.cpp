// Drives and devices through the JNI host, against the drives and the
// mounted-devices table of the Wine prefix. What Wine cannot show (network
// drives, descriptor texts, the device tree) is covered on crafted bytes by
// the unit tests of drive_facts.
#include "platform-access/tests/host/jni_host.h"
#include "tests/support/test_support.h"

#include <winioctl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vantor::jnihost {
namespace {

constexpr wchar_t kMountedDevices[] = L"SYSTEM\\MountedDevices";

class DrivesDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_library = &m_host.load();
        ASSERT_TRUE(threwNothing(m_library->call("initialise")));
    }

    Value driveInfo(wchar_t letter)
    {
        CallResult result = m_library->call("getDriveInfo", {letter});
        EXPECT_TRUE(threwNothing(result));
        EXPECT_EQ(Value::Kind::HashMap, result.value.kind());
        return result.value;
    }

    JniHost m_host;
    NativeLibrary* m_library = nullptr;
};

std::vector<std::wstring> keysOf(const Value& map)
{
    std::vector<std::wstring> keys;
    for (const auto& entry : map.entries()) {
        keys.push_back(entry.first.string());
    }
    return keys;
}

std::int64_t longOf(const Value& map, const std::wstring& key)
{
    const Value* value = map.get(key);
    if (value == nullptr || value->kind() != Value::Kind::LongObject) {
        ADD_FAILURE() << "no Long " << narrow(key) << " in " << map.describe();
        return -1;
    }
    return value->longValue();
}

bool deviceOpens(wchar_t letter)
{
    const std::wstring device = std::wstring(L"\\\\.\\") + letter + L":";
    const win::Handle handle(
        CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    return handle.valid();
}

// A letter that names no drive (searched from the end of the alphabet).
wchar_t unusedLetter()
{
    const DWORD drives = GetLogicalDrives();
    for (int bit = 24; bit >= 3; --bit) {
        if ((drives & (1u << bit)) == 0) {
            return static_cast<wchar_t>(L'a' + bit);
        }
    }
    ADD_FAILURE() << "no unused drive letter";
    return L'y';
}

// Replaces a value of the mounted-devices table while it lives and then puts
// the original back.
class MountedDeviceValue {
public:
    explicit MountedDeviceValue(const std::wstring& name) : m_name(name)
    {
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMountedDevices, 0,
                                               KEY_QUERY_VALUE | KEY_SET_VALUE, m_key.put()));
        DWORD size = 0;
        DWORD type = 0;
        if (RegQueryValueExW(m_key.get(), m_name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            std::string bytes(size, '\0');
            if (RegQueryValueExW(m_key.get(), m_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                                 &size) == ERROR_SUCCESS) {
                bytes.resize(size);
                m_original = std::make_pair(type, bytes);
            }
        }
    }
    ~MountedDeviceValue()
    {
        if (m_original) {
            RegSetValueExW(m_key.get(), m_name.c_str(), 0, m_original->first,
                           reinterpret_cast<const BYTE*>(m_original->second.data()),
                           static_cast<DWORD>(m_original->second.size()));
        } else {
            RegDeleteValueW(m_key.get(), m_name.c_str());
        }
    }
    MountedDeviceValue(const MountedDeviceValue&) = delete;
    MountedDeviceValue& operator=(const MountedDeviceValue&) = delete;

    std::optional<std::pair<DWORD, std::string>> original() const { return m_original; }

    void set(const std::string& bytes)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key.get(), m_name.c_str(), 0, REG_BINARY,
                                                reinterpret_cast<const BYTE*>(bytes.data()),
                                                static_cast<DWORD>(bytes.size())));
    }
    // A text as UTF-16 units, without a terminator, as the table holds it.
    void setText(const std::wstring& text)
    {
        set(std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
    }

private:
    std::wstring m_name;
    win::RegKey m_key;
    std::optional<std::pair<DWORD, std::string>> m_original;
};

// --- getAvailableDrives --------------------------------------------------------

TEST_F(DrivesDevices, AvailableDrivesAreTheLocalDrivesThatOpen)
{
    CallResult result = m_library->call("getAvailableDrives");
    ASSERT_TRUE(threwNothing(result));
    ASSERT_EQ(Value::Kind::ArrayList, result.value.kind());

    std::wstring listed;
    for (const Value& element : result.value.elements()) {
        ASSERT_EQ(Value::Kind::File, element.kind()) << result.value.describe();
        const std::wstring& root = element.string();
        ASSERT_EQ(3u, root.size()) << narrow(root);
        EXPECT_TRUE(root[0] >= L'a' && root[0] <= L'z') << narrow(root);
        EXPECT_EQ(L":\\", root.substr(1));
        listed += root[0];
    }
    EXPECT_NE(std::wstring::npos, listed.find(L'c')) << narrow(listed);

    // Every drive of the system whose device opens, in letter order, and no
    // other (Wine's z:, the Unix root, exists but does not open).
    std::wstring expected;
    const DWORD drives = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        const auto letter = static_cast<wchar_t>(L'a' + bit);
        const std::wstring root = std::wstring(1, letter) + L":\\";
        if ((drives & (1u << bit)) != 0 && GetDriveTypeW(root.c_str()) != DRIVE_REMOTE && deviceOpens(letter)) {
            expected += letter;
        }
    }
    EXPECT_EQ(narrow(expected), narrow(listed));
}

// --- getDriveInfo -----------------------------------------------------------------

TEST_F(DrivesDevices, SystemDriveGeometryDescriptorAndNumber)
{
    const Value info = driveInfo(L'c');
    EXPECT_EQ(static_cast<std::int64_t>(GetDriveTypeW(L"c:\\")), longOf(info, L"DriveType"));
    EXPECT_EQ(DRIVE_FIXED, longOf(info, L"DriveType"));

    const win::Handle device(CreateFileW(L"\\\\.\\c:", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(device);
    DISK_GEOMETRY geometry{};
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    const bool hasGeometry = DeviceIoControl(device.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                                             sizeof geometry, &returned, nullptr);
    const bool hasNumber = DeviceIoControl(device.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                                           sizeof number, &returned, nullptr);

    ASSERT_TRUE(hasGeometry) << "Wine answers the geometry of c:";
    EXPECT_EQ(static_cast<std::int64_t>(geometry.MediaType), longOf(info, L"MediaType"));
    const std::int64_t size = geometry.Cylinders.QuadPart * geometry.TracksPerCylinder * geometry.SectorsPerTrack *
                              geometry.BytesPerSector;
    EXPECT_EQ(size, longOf(info, L"DiskSize"));
    EXPECT_GT(size, std::int64_t(0xFFFFFFFF)) << "the size needs 64 bits";
    ASSERT_TRUE(hasNumber);
    EXPECT_EQ(static_cast<std::int64_t>(number.DeviceNumber), longOf(info, L"DeviceNumber"));

    // The storage descriptor: Wine answers without texts.
    EXPECT_GE(longOf(info, L"BusType"), 0);
    EXPECT_GE(longOf(info, L"DeviceType"), 0);
    const std::int64_t removable = longOf(info, L"Removable");
    EXPECT_TRUE(removable == 0 || removable == 1);
    // Texts where there are any (Wine's disk driver gives no descriptor texts
    // and its configuration manager locates no device node).
    for (const wchar_t* key : {L"VendorID", L"ProductID", L"ProductRevision", L"SerialNumber", L"OSDeviceID",
                               L"DevInst_DevID", L"DevInstParent_DevID", L"VID", L"PID"}) {
        if (const Value* text = info.get(key)) {
            EXPECT_EQ(Value::Kind::String, text->kind()) << narrow(key);
        }
    }

    // The letter as given: upper case reads the same drive.
    EXPECT_EQ(info, driveInfo(L'C'));
}

TEST_F(DrivesDevices, LetterWithoutADriveGivesOnlyDriveTypeOne)
{
    const wchar_t letter = unusedLetter();
    for (const wchar_t asked : {letter, static_cast<wchar_t>(letter - L'a' + L'A')}) {
        const Value info = driveInfo(asked);
        EXPECT_EQ(std::vector<std::wstring>{L"DriveType"}, keysOf(info)) << info.describe();
        EXPECT_EQ(DRIVE_NO_ROOT_DIR, longOf(info, L"DriveType"));
    }
}

TEST_F(DrivesDevices, CharacterThatIsNoLetterGivesOnlyDriveTypeOne)
{
    // "\0:\" would be the current drive's root to Windows, and "1:\" no
    // drive at all: neither names a drive.
    for (const wchar_t asked : {L'\0', L'1', L'\\', static_cast<wchar_t>(0x0441)}) {
        const Value info = driveInfo(asked);
        EXPECT_EQ(std::vector<std::wstring>{L"DriveType"}, keysOf(info)) << static_cast<int>(asked);
        EXPECT_EQ(DRIVE_NO_ROOT_DIR, longOf(info, L"DriveType"));
    }
}

TEST_F(DrivesDevices, MountedDevicesEntryOfTheDrive)
{
    // Wine keeps an entry for c: (the Unix path of the drive, which makes an
    // identifier that names no device).
    MountedDeviceValue value(L"\\DosDevices\\C:");
    const Value wine = driveInfo(L'c');
    if (value.original() && value.original()->second.size() > 8) {
        ASSERT_NE(nullptr, wine.get(L"OSDeviceID")) << wine.describe();
        EXPECT_FALSE(wine.get(L"OSDeviceID")->string().empty());
    }

    // The entry of a USB stick.
    value.setText(L"\\??\\STORAGE#RemovableMedia#7&1&0&RM#{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}");
    Value info = driveInfo(L'c');
    ASSERT_NE(nullptr, info.get(L"OSDeviceID")) << info.describe();
    EXPECT_EQ(Value::ofString(L"STORAGE\\RemovableMedia\\7&1&0&RM"), *info.get(L"OSDeviceID"));
    EXPECT_EQ(nullptr, info.get(L"DevInst_DevID"));
    EXPECT_EQ(longOf(wine, L"DiskSize"), longOf(info, L"DiskSize"));

    // The drive letter is looked up as given.
    EXPECT_EQ(Value::ofString(L"STORAGE\\RemovableMedia\\7&1&0&RM"), *driveInfo(L'C').get(L"OSDeviceID"));

    // 8 bytes hold no identifier; neither does a basic disk's binary entry.
    value.setText(L"\\??\\");
    EXPECT_EQ(nullptr, driveInfo(L'c').get(L"OSDeviceID"));
    value.set(std::string("\x6F\x5A\x2B\x2A\x00\x00\x10\x00\x00\x00\x00\x00", 12));
    info = driveInfo(L'c');
    EXPECT_EQ(nullptr, info.get(L"OSDeviceID"));
    EXPECT_EQ(DRIVE_FIXED, longOf(info, L"DriveType"));

    // A long entry without a brace is read to its end, within its size.
    std::wstring longEntry = L"\\??\\LONG";
    longEntry.resize(5000, L'#');
    longEntry += L"TAIL";
    value.setText(longEntry);
    info = driveInfo(L'c');
    ASSERT_NE(nullptr, info.get(L"OSDeviceID"));
    const std::wstring& identifier = info.get(L"OSDeviceID")->string();
    EXPECT_EQ(L"LONG", identifier.substr(0, 4));
    EXPECT_EQ(L"TAIL", identifier.substr(identifier.size() - 4));
    EXPECT_EQ(5000u, identifier.size());
}

}  // namespace
}  // namespace vantor::jnihost
