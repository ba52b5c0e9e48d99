// Drives and devices: the local drives and the hardware behind one of them.
//
// The Windows queries gather plain facts (drive_facts.h decides what they
// mean); only then are the Java objects built, so that no JNI call is made
// between two Windows calls. A step that fails is left out and the map holds
// what was gathered. A C++ exception (out of memory) ends the gathering, and
// the export's guard turns it into the operation's exception.
#include "common/win/unique_handle.h"
#include "platform-access/core/drive_facts.h"
#include "platform-access/jni/boundary.h"
#include "platform-access/jni/exports.h"
#include "platform-access/jni/fault_point.h"
#include "platform-access/jni/frame.h"
#include "platform-access/jni/java_objects.h"

#include <cfgmgr32.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace vantor::access {
namespace {

// Opens a drive's device without asking for any access, so that a drive
// without a medium (an empty card reader) opens too and nothing is read.
win::Handle openDriveDevice(wchar_t letter)
{
    const std::wstring device = driveDevicePath(letter);
    return win::Handle(CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
}

// A fixed-size answer of a device control; false unless the device wrote all
// of it.
template <typename Answer>
bool askDevice(HANDLE device, DWORD control, Answer& answer)
{
    DWORD returned = 0;
    return DeviceIoControl(device, control, nullptr, 0, &answer, sizeof answer, &returned, nullptr) &&
           returned >= sizeof answer;
}

void addGeometryFacts(HANDLE device, DriveFacts& facts)
{
    DISK_GEOMETRY geometry{};  // 24 bytes
    if (!askDevice(device, IOCTL_DISK_GET_DRIVE_GEOMETRY, geometry)) {
        return;
    }
    facts.put("MediaType", static_cast<std::int64_t>(static_cast<std::uint32_t>(geometry.MediaType)));
    const std::uint64_t size = diskSize(geometry.Cylinders.QuadPart, geometry.TracksPerCylinder,
                                        geometry.SectorsPerTrack, geometry.BytesPerSector);
    facts.put("DiskSize", static_cast<std::int64_t>(size));
}

void addDescriptorFacts(HANDLE device, DriveFacts& facts)
{
    STORAGE_PROPERTY_QUERY query{};  // 12 bytes: the device property, standard query
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    // The answer's buffer, zeroed, with the size field of its header preset.
    unsigned char descriptor[kStorageDescriptorCapacity] = {};
    const DWORD capacity = kStorageDescriptorCapacity;
    std::memcpy(descriptor + offsetof(STORAGE_DESCRIPTOR_HEADER, Size), &capacity, sizeof capacity);
    DWORD returned = 0;
    if (DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, descriptor, sizeof descriptor,
                        &returned, nullptr)) {
        addStorageDescriptorFacts(descriptor, returned, facts);
    }
}

void addDeviceNumberFacts(HANDLE device, DriveFacts& facts)
{
    STORAGE_DEVICE_NUMBER number{};  // 12 bytes
    if (askDevice(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, number)) {
        facts.put("DeviceNumber", static_cast<std::int64_t>(number.DeviceNumber));
    }
}

// The configuration manager's device tree.
class ConfigurationManagerTree : public DeviceTree {
public:
    bool locate(const std::string& identifier, Node& node) override
    {
        DEVINST found = 0;
        if (CM_Locate_DevNodeA(&found, const_cast<char*>(identifier.c_str()), CM_LOCATE_DEVNODE_NORMAL) !=
            CR_SUCCESS) {
            return false;
        }
        node = found;
        return true;
    }

    bool parent(Node node, Node& parent) override
    {
        DEVINST found = 0;
        if (CM_Get_Parent(&found, node, 0) != CR_SUCCESS) {
            return false;
        }
        parent = found;
        return true;
    }

    bool identifierLength(Node node, std::uint32_t& length) override
    {
        ULONG characters = 0;
        if (CM_Get_Device_ID_Size(&characters, node, 0) != CR_SUCCESS) {
            return false;
        }
        length = characters;
        return true;
    }

    bool identifier(Node node, std::uint32_t length, std::wstring& text) override
    {
        // The walk reads only identifiers shorter than the limit, so one
        // buffer of the limit's size holds every one with its terminator.
        wchar_t buffer[kDeviceTreeIdentifierLimit];
        if (length >= kDeviceTreeIdentifierLimit) {
            return false;
        }
        if (CM_Get_Device_IDW(node, buffer, length + 1, 0) != CR_SUCCESS) {
            return false;
        }
        text.assign(buffer, wcsnlen(buffer, length));
        return true;
    }
};

// The drive's entry of the mounted-devices table and, from the identifier it
// holds, the device tree.
void addMountedDeviceFacts(wchar_t letter, DriveFacts& facts)
{
    win::RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\MountedDevices", 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    const std::wstring name = mountedDeviceValueName(letter);
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size <= 8) {
        return;
    }
    const std::unique_ptr<unsigned char[]> value(new (std::nothrow) unsigned char[size]);
    // The size the read reports is the one that counts: the value may have
    // changed since its size was asked for (a longer one fails the read).
    if (!value || RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, value.get(), &size) != ERROR_SUCCESS) {
        return;
    }
    const std::string identifier = mountedDeviceIdentifier(value.get(), size);
    if (identifier.empty()) {
        return;
    }
    facts.put("OSDeviceID", decodeModifiedUtf8(identifier));
    ConfigurationManagerTree tree;
    walkDeviceTree(identifier, tree, facts);
}

DriveFacts gatherDriveFacts(wchar_t letter)
{
    faultPoint("getDriveInfo");
    DriveFacts facts;
    // Only a letter names a drive. Anything else would turn the root into
    // another path ("\0:\" is the current drive's root to Windows), so it is
    // answered as a letter without a drive.
    if (!isDriveLetter(letter)) {
        facts.put("DriveType", static_cast<std::int64_t>(DRIVE_NO_ROOT_DIR));
        return facts;
    }
    const std::wstring root = driveRoot(letter);
    const UINT type = GetDriveTypeW(root.c_str());
    if (type == DRIVE_REMOTE) {
        return facts;
    }
    const win::Handle device = openDriveDevice(letter);
    facts.put("DriveType", static_cast<std::int64_t>(type));
    if (!device) {
        return facts;
    }
    addGeometryFacts(device.get(), facts);
    addDescriptorFacts(device.get(), facts);
    addDeviceNumberFacts(device.get(), facts);
    addMountedDeviceFacts(letter, facts);
    return facts;
}

}  // namespace
}  // namespace vantor::access

using namespace vantor::access;

// Every local drive whose device can be opened, as java.io.File objects of
// their roots (c:\), in the order of the letters. Network drives are left out.
jobject JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getAvailableDrives(JNIEnv* env, jclass)
{
    return guardOperation(env, "getAvailableDrives", nullptr, [env] {
        JavaFileList list(env);
        if (!list.ready()) {
            return list.take();
        }
        const DWORD drives = GetLogicalDrives();
        for (int bit = 0; bit < 26; ++bit) {
            if ((drives & (1u << bit)) == 0) {
                continue;
            }
            const auto letter = static_cast<wchar_t>(L'a' + bit);
            const std::wstring root = driveRoot(letter);
            if (GetDriveTypeW(root.c_str()) == DRIVE_REMOTE || !openDriveDevice(letter)) {
                continue;
            }
            if (!list.addFile(root)) {
                break;
            }
        }
        return list.take();
    });
}

jobject JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getDriveInfo(JNIEnv* env, jclass,
                                                                                              jchar driveLetter)
{
    return guardOperation(env, "getDriveInfo", nullptr, [env, driveLetter] {
        JavaMap map(env, JavaMap::Numbers::Long);
        if (!map.ready()) {
            return map.take();
        }
        map.putAll(gatherDriveFacts(static_cast<wchar_t>(driveLetter)));
        return map.take();
    });
}
