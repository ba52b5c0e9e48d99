// The language files as the updater carries them: every key in its place,
// the byte format the parser expects, and translations that keep the
// placeholders of the English texts.
#include "tests/support/test_log.h"
#include "tests/support/test_support.h"
#include "updater/ui/language_texts.h"
#include "updater/ui/text_table.h"
#include "updater/ui/text_table_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace vantor {
namespace {

using namespace vantor::testing;

// Every key, in the order of the files.
const char* const kKeys[] = {
    "REQUIRES_ADMIN_PRIVILEGES", "SECOND_INSTANCE_TEXT1", "SECOND_INSTANCE_TEXT2", "YES", "NO", "CANCEL", "RESTART",
    "DELETE", "OK", "NEXT", "BACK", "CLOSE", "USER_LICENSE", "AGREE", "USER_LICENSE_PREFIX",
    "NOT_ENOUGH_SPACE_TO_INSTALL", "NOT_ENOUGH_SPACE_TO_INSTALL_YES_NO", "FOLDER_IS_NOT_WRITABLE",
    "FOLDER_IS_NOT_WRITABLE_YES_NO", "TO_PLAY", "TO_PAUSE", "LOADING_AND_PLAYING", "PLAYING", "PAUSED",
    "CANCEL_QUESTION", "UNINSTALL", "REINSTALL", "INFORMATION", "VANTOR_INSTALLED_ALREADY_TITLE",
    "CANNOT_CLOSE_VANTOR", "WAITING", "CANNOT_INSTALL_JAVA", "JAVA_NOT_FOUND_INSTALL", "JAVA_NOT_FOUND",
    "JAVA_INSTALL_URL", "VANTOR_COMPONENT_NOT_FOUND", "INSTALLATION_FOLDER", "DOWNLOAD_FOLDER",
    "QUICK_LAUNCH_SHORTCUT", "DESKTOP_SHORTCUT", "START_MENU_SHORTCUTS", "QUICK_INSTALLATION",
    "EXTENDED_INSTALLATION", "PREPARING_COMPOSITION", "DOWNLOADING_ZAZ_BROWSER", "INSTALLATION", "LAUNCH",
    "PARTNER_TITLE", "FULL_INSTALL_RECOMEND", "CUSTOM_SETTINGS", "GETTING_INFO", "CHECK_JAVA", "CHECK_DOTNET",
    "DOWNLOADING", "DOWNLOADING_JRE", "UNPACKING", "INSTALLING", "STARTING_PLAYBACK", "START_DOWNLOADING",
    "INSTALL_SOFT_FOR_HELP", "LAUNCH_ON_WINDOWS_STARTUP", "OPEN_TORRENT_VIA_VANTOR", "OPEN_AFTER_INSTALLATION",
    "ADD_FIREWALL_EXCEPTION", "INSTALLER_RUNNING_ALREADY", "ONLINE_MUSIC", "PREPARE", "PREPARE_TO_PLAY",
    "PREPARE_TO_DOWNLOAD", "ONLINE_VIDEO", "PREPARE_TO_WATCH", "VERSION_LESS_THAN_1016", "EXECUTE_OR_SAVE_THIS_FILE",
    "NAME", "SIZE", "FROM", "EXECUTE", "SAVE", "OPEN_FOLDER", "DOWNLOADED", "DOWNLOAD_PATH", "OF", "CONFIRM",
    "CONFIRM_CANCEL_DOWNLOAD", "FILE_DOWNLOADING", "ERROR_INSTALLATION", "STANDARD_DOWNLOADING",
    "EXTENDED_DOWNLOADING", "DOWNLOAD", "DESTINATION_FOLDER", "DOWNLOAD_PROGRESSION", "ABOUT",
    "VANTOR_UNINSTALL_TITLE", "VANTOR_UNINSTALL_TEXT", "CONFIRM_UNINSTALL", "UNINSTALL_FROM",
    "VANTOR_IS_UNINSTALLED", "CANT_SHUTDOWN_VANTOR", "UNINSTALLER_CLOSING_VANTOR",
    "VANTOR_UNINSTALL_REASON_QUESTION", "UNINSTALL_REASON_ITEM_NOTHING", "UNINSTALL_REASON_ITEM_ONLINE",
    "UNINSTALL_REASON_ITEM_BLOCK", "UNINSTALL_REASON_ITEM_BRAKES", "UNINSTALL_REASON_ITEM_OTHER_CLIENT",
    "UNINSTALL_REASON_ITEM_REINSTALL", "UNINSTALL_REASON_ITEM_SELF_REASON", "DELETE_SETTINGS",
};

struct Entry {
    std::string key;
    std::string value;  // UTF-8
};

// One language file split into its entries, with every format fault found
// on the way listed in `faults`.
struct LanguageFile {
    std::vector<Entry> entries;
    int comments = 0;
    std::vector<std::string> faults;

    const std::string* first(const std::string& key) const
    {
        for (const Entry& entry : entries) {
            if (entry.key == key) {
                return &entry.value;
            }
        }
        return nullptr;
    }
};

LanguageFile split(const std::string& bytes)
{
    LanguageFile file;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) {
        file.faults.push_back("no UTF-8 byte order mark");
    }
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0) ==
        0) {
        file.faults.push_back("not valid UTF-8");
    }
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0) {
        file.faults.push_back("the last line has no CR LF");
    }
    std::size_t position = std::min<std::size_t>(3, bytes.size());
    int number = 0;
    while (position < bytes.size()) {
        ++number;
        std::size_t end = bytes.find('\n', position);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(position, end - position);
        position = end + 1;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.empty() || line.back() != '\r') {
            file.faults.push_back(where + "ends in LF without CR");
        } else {
            line.pop_back();
        }
        if (line.find('\r') != std::string::npos || line.find('\t') != std::string::npos) {
            file.faults.push_back(where + "holds a CR or a tab");
        }
        if (line.empty()) {
            continue;
        }
        if (line[0] == '#') {
            ++file.comments;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            file.faults.push_back(where + "is neither an entry nor a comment");
            continue;
        }
        Entry entry{line.substr(0, equals), line.substr(equals + 1)};
        if (entry.key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") != std::string::npos) {
            file.faults.push_back(where + "key '" + entry.key + "' is not upper-case words");
        }
        if (entry.value.empty() || entry.value.front() == ' ' || entry.value.back() == ' ') {
            file.faults.push_back(where + "value of " + entry.key + " is empty or has spaces at an end");
        }
        file.entries.push_back(entry);
    }
    return file;
}

// The printf conversions of a text, in order: "%s", "%d", "%%".
std::vector<std::string> placeholders(const std::string& text)
{
    std::vector<std::string> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%') {
            found.push_back(text.substr(i, 2));
            ++i;
        }
    }
    return found;
}

// Reads the language files out of the built updater, as it will ship.
class LanguageResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_module.reset(LoadLibraryExW(binPath(L"VantorUpdater.exe").c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    }
    static void TearDownTestSuite() { s_module.reset(); }

    // The bytes of resource `id`, stored under the resource language 1049.
    static std::string bytesOf(int id)
    {
        HRSRC resource = FindResourceExW(s_module.get(), kTextResourceType, MAKEINTRESOURCEW(id),
                                         MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
        if (resource == nullptr) {
            return {};
        }
        HGLOBAL loaded = LoadResource(s_module.get(), resource);
        const auto* bytes = static_cast<const char*>(LockResource(loaded));
        return bytes != nullptr ? std::string(bytes, SizeofResource(s_module.get(), resource)) : std::string();
    }

    static win::Module s_module;
};

win::Module LanguageResources::s_module;

struct Language {
    int id;
    const char* name;
    bool hasJavaNotFoundInstall;
};

class EachLanguage : public LanguageResources, public ::testing::WithParamInterface<Language> {};

TEST_P(EachLanguage, HoldsEveryKeyInOrderInTheStoredFormat)
{
    ASSERT_TRUE(s_module) << "VantorUpdater.exe not readable";
    const Language& language = GetParam();
    const std::string bytes = bytesOf(language.id);
    ASSERT_FALSE(bytes.empty()) << "resource " << language.id << " missing or not stored with language 1049";
    const LanguageFile file = split(bytes);
    for (const std::string& fault : file.faults) {
        ADD_FAILURE() << fault;
    }
    EXPECT_GE(file.comments, 2) << "comment lines group the sections";

    std::vector<std::string> expected;
    for (const char* key : kKeys) {
        if (language.hasJavaNotFoundInstall || std::string(key) != "JAVA_NOT_FOUND_INSTALL") {
            expected.push_back(key);
        }
    }
    std::vector<std::string> order;
    std::map<std::string, int> definitions;
    for (const Entry& entry : file.entries) {
        if (definitions[entry.key]++ == 0) {
            order.push_back(entry.key);
        }
    }
    EXPECT_EQ(expected, order);
    for (const auto& [key, count] : definitions) {
        const int wanted = key == "CANCEL" || key == "DOWNLOADING" ? 2 : 1;
        EXPECT_EQ(wanted, count) << key;
    }
    EXPECT_EQ(expected.size() + 2, file.entries.size());

    // The parser reads every entry back as written; the first of two
    // definitions wins.
    const auto table = textTableFromMemory(bytes.data(), bytes.size(), language.id);
    EXPECT_EQ(expected.size(), table->size());
    for (const std::string& key : expected) {
        EXPECT_EQ(widen(*file.first(key)), table->lookup(widen(key).c_str())) << key;
    }
}

TEST_P(EachLanguage, KeepsThePlaceholdersOfTheEnglishTexts)
{
    ASSERT_TRUE(s_module);
    const LanguageFile english = split(bytesOf(kEnglishTextsId));
    const LanguageFile file = split(bytesOf(GetParam().id));
    for (const Entry& entry : english.entries) {
        const std::string* translated = file.first(entry.key);
        if (translated == nullptr) {
            continue;  // missing keys are the other test's business
        }
        EXPECT_EQ(placeholders(*english.first(entry.key)), placeholders(*translated)) << entry.key;
    }
    EXPECT_NE(nullptr, file.first("JAVA_INSTALL_URL"));
    EXPECT_EQ(0u, file.first("JAVA_INSTALL_URL")->rfind("https://", 0));
}

INSTANTIATE_TEST_SUITE_P(Resources, EachLanguage,
                         ::testing::Values(Language{103, "Russian", true}, Language{104, "English", true},
                                           Language{105, "Ukrainian", false}),
                         [](const ::testing::TestParamInfo<Language>& info) { return info.param.name; });

TEST_F(LanguageResources, CarryTheDialogTextsAndTheTwoStagePlaceholder)
{
    ASSERT_TRUE(s_module);
    const LanguageFile english = split(bytesOf(104));
    const LanguageFile russian = split(bytesOf(103));
    const LanguageFile ukrainian = split(bytesOf(105));
    ASSERT_NE(nullptr, english.first("CLOSE"));
    ASSERT_NE(nullptr, russian.first("CLOSE"));
    ASSERT_NE(nullptr, ukrainian.first("CLOSE"));
    EXPECT_EQ("This updater requires admin privileges", *english.first("REQUIRES_ADMIN_PRIVILEGES"));
    EXPECT_EQ("Close", *english.first("CLOSE"));
    EXPECT_EQ("\xD0\x94\xD0\xBB\xD1\x8F \xD0\xBE\xD0\xB1\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xB8\xD1\x8F "
              "\xD0\xBD\xD0\xB5\xD0\xBE\xD0\xB1\xD1\x85\xD0\xBE\xD0\xB4\xD0\xB8\xD0\xBC\xD1\x8B "
              "\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xB0 "
              "\xD0\xB0\xD0\xB4\xD0\xBC\xD0\xB8\xD0\xBD\xD0\xB8\xD1\x81\xD1\x82\xD1\x80\xD0\xB0\xD1\x82\xD0\xBE\xD1\x80\xD0\xB0",
              *russian.first("REQUIRES_ADMIN_PRIVILEGES"));
    EXPECT_EQ("\xD0\x97\xD0\xB0\xD0\xBA\xD1\x80\xD1\x8B\xD1\x82\xD1\x8C", *russian.first("CLOSE"));
    EXPECT_EQ("\xD0\x94\xD0\xBB\xD1\x8F \xD0\xBF\xD0\xBE\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xBD\xD1\x8F "
              "\xD0\xBD\xD0\xB5\xD0\xBE\xD0\xB1\xD1\x85\xD1\x96\xD0\xB4\xD0\xBD\xD1\x96 "
              "\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xB0 "
              "\xD0\xB0\xD0\xB4\xD0\xBC\xD1\x96\xD0\xBD\xD1\x96\xD1\x81\xD1\x82\xD1\x80\xD0\xB0\xD1\x82\xD0\xBE\xD1\x80\xD0\xB0",
              *ukrainian.first("REQUIRES_ADMIN_PRIVILEGES"));
    EXPECT_EQ("\xD0\x97\xD0\xB0\xD0\xBA\xD1\x80\xD0\xB8\xD1\x82\xD0\xB8", *ukrainian.first("CLOSE"));
    EXPECT_EQ("Downloading %s %%s", *english.first("DOWNLOADING"));
    EXPECT_EQ(std::vector<std::string>{"%d"}, placeholders(*english.first("SECOND_INSTANCE_TEXT2")));
    EXPECT_EQ(std::vector<std::string>{"%s"}, placeholders(*english.first("NOT_ENOUGH_SPACE_TO_INSTALL")));
}

TEST_F(LanguageResources, CarryBothIconGroups)
{
    ASSERT_TRUE(s_module);
    EXPECT_NE(nullptr, FindResourceW(s_module.get(), MAKEINTRESOURCEW(101), RT_GROUP_ICON));
    EXPECT_NE(nullptr, FindResourceW(s_module.get(), MAKEINTRESOURCEW(102), RT_GROUP_ICON));
}

// The choice of the language resource: the user's language picks its file;
// when that file is missing the English one is used, and without that every
// text shows its key. Each fallback is logged.
TEST(LanguageTexts, ChooseByLanguageAndFallBackToEnglishThenToKeys)
{
    const win::Module updater(LoadLibraryExW(binPath(L"VantorUpdater.exe").c_str(), nullptr,
                                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(updater);
    EXPECT_EQ(std::wstring(L"Close"), loadLanguageTexts(updater.get(), 1033, nullptr)->lookup(L"CLOSE"));
    EXPECT_EQ(std::wstring(L"Close"), loadLanguageTexts(updater.get(), 2073, nullptr)->lookup(L"CLOSE"));
    EXPECT_EQ(std::wstring(L"\u0417\u0430\u043a\u0440\u044b\u0442\u044c"),
              loadLanguageTexts(updater.get(), 1049, nullptr)->lookup(L"CLOSE"));
    EXPECT_EQ(std::wstring(L"\u0417\u0430\u043a\u0440\u0438\u0442\u0438"),
              loadLanguageTexts(updater.get(), 1058, nullptr)->lookup(L"CLOSE"));
    EXPECT_EQ(1058, loadLanguageTexts(updater.get(), 1058, nullptr)->languageId());

    TestLog log;

    // A module with the English file only.
    const win::Module englishOnly(LoadLibraryExW(binPath(L"english_only_texts.exe").c_str(), nullptr,
                                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(englishOnly);
    const auto fallback = loadLanguageTexts(englishOnly.get(), 1049, &log.log());
    EXPECT_EQ(std::wstring(L"Close"), fallback->lookup(L"CLOSE"));
    EXPECT_EQ(1049, fallback->languageId());

    // This test program carries no resources at all.
    const auto empty = loadLanguageTexts(GetModuleHandleW(nullptr), 1058, &log.log());
    EXPECT_EQ(0u, empty->size());
    EXPECT_EQ(std::wstring(L"CLOSE"), empty->lookup(L"CLOSE"));

    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_NE(std::string::npos,
              lines[0].find("WARNING : [DEF] : Can't load text resource 103, error 1814; using the English texts"))
        << lines[0];
    EXPECT_NE(std::string::npos,
              lines[1].find("WARNING : [DEF] : Can't load text resource 105, error 1812; using the English texts"))
        << lines[1];
    EXPECT_NE(std::string::npos, lines[2].find("ERROR : [DEF] : Can't load the English text resource, error 1812; "
                                               "texts are shown by their keys"))
        << lines[2];
}

}  // namespace
}  // namespace vantor
