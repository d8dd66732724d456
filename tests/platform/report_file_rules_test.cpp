#include "platform/report_file_rules.h"

#include <gtest/gtest.h>

namespace tovalen::platform {
namespace {

struct FolderPair {
    const wchar_t* named;
    const wchar_t* final_path;  // as GetFinalPathNameByHandleW gives it
    bool same;
};

class SameFolder : public ::testing::TestWithParam<FolderPair> {};

TEST_P(SameFolder, AcceptsTheSpellingsOfOneFolderAndNothingElse)
{
    EXPECT_EQ(names_same_folder(GetParam().named, GetParam().final_path), GetParam().same)
        << ::testing::PrintToString(std::wstring(GetParam().named));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SameFolder,
    ::testing::Values(FolderPair{L"C:\\Reports", L"\\\\?\\C:\\Reports", true},
                      FolderPair{L"c:\\reports\\\\", L"\\\\?\\C:\\Reports", true},
                      FolderPair{L"\\\\?\\C:\\Reports", L"\\\\?\\C:\\Reports\\", true},
                      FolderPair{L"C:\\", L"\\\\?\\C:\\", true},
                      FolderPair{L"C:\\az", L"\\\\?\\C:\\AZ", true},
                      FolderPair{L"C:\\`{", L"\\\\?\\C:\\@[", false},
                      FolderPair{L"C:\\\u00e4", L"\\\\?\\C:\\\u00c4", false},
                      FolderPair{L"\\\\server\\share\\in", L"\\\\?\\UNC\\server\\share\\in", true},
                      FolderPair{L"\\\\?\\unc\\server\\share", L"\\\\?\\UNC\\server\\share", true},
                      FolderPair{L"N:\\in", L"\\\\?\\UNC\\server\\share\\in", false},
                      FolderPair{L"C:\\ProgramData\\link", L"\\\\?\\C:\\Windows\\System32", false},
                      FolderPair{L"C:\\PROGRA~1", L"\\\\?\\C:\\Program Files", false},
                      FolderPair{L"C:\\Reports", L"\\\\?\\C:\\Reports2", false},
                      FolderPair{L"C:\\Reports2", L"\\\\?\\C:\\Reports", false},
                      FolderPair{L"", L"", false}));

struct PathRow {
    const wchar_t* full;
    bool splits;
    const wchar_t* folder;
    const wchar_t* name;
    bool device;
};

class FilePath : public ::testing::TestWithParam<PathRow> {};

TEST_P(FilePath, IsCutIntoFolderAndNameOrTakenForADevice)
{
    const std::optional<FilePlace> place = split_file_path(GetParam().full);
    ASSERT_EQ(place.has_value(), GetParam().splits);
    if (place) {
        EXPECT_EQ(place->folder, GetParam().folder);
        EXPECT_EQ(place->name, GetParam().name);
    }
    EXPECT_EQ(is_device_path(GetParam().full), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FilePath,
    ::testing::Values(PathRow{L"C:\\x.json", true, L"C:\\", L"x.json", false},
                      PathRow{L"\\\\?\\C:\\x.json", true, L"\\\\?\\C:\\", L"x.json", false},
                      PathRow{L"C:\\In\\x.json", true, L"C:\\In", L"x.json", false},
                      PathRow{L"\\\\server\\share\\x", true, L"\\\\server\\share", L"x", false},
                      PathRow{L"C:\\In\\", false, L"", L"", false},
                      PathRow{L"x.json", false, L"", L"", false},
                      PathRow{L"\\\\.\\NUL", true, L"\\\\.", L"NUL", true},
                      PathRow{L"\\\\.NUL", true, L"\\", L".NUL", false}, PathRow{L"\\x", true, L"\\", L"x", false}));

constexpr wchar_t USER[] = L"S-1-5-21-1-2-3-1001";
constexpr std::uint32_t FULL = 0x1F01FF;

struct SecurityRow {
    const char* name;
    FolderSecurity folder;
    bool allowed;
};

class ElevatedWrite : public ::testing::TestWithParam<SecurityRow> {};

TEST_P(ElevatedWrite, NeedsATrustedOwnerOrNoOtherWhoMayChangeTheFolder)
{
    EXPECT_EQ(may_write_as_elevated(GetParam().folder), GetParam().allowed);
}

SecurityRow owned_by(const char* name, const wchar_t* owner, std::uint32_t users_rights, bool allowed)
{
    return SecurityRow{name, FolderSecurity{owner, true, {{L"S-1-5-32-545", users_rights}}}, allowed};
}

SecurityRow user_owned(const char* name, AccessEntry entry, bool allowed)
{
    return SecurityRow{name, FolderSecurity{USER, true, {{L"S-1-5-18", FULL}, {L"S-1-5-32-544", FULL}, entry}}, allowed};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ElevatedWrite,
    ::testing::Values(owned_by("system_owns", L"S-1-5-18", FULL, true),
                      owned_by("administrators_own", L"S-1-5-32-544", FULL, true),
                      owned_by("trusted_installer_owns",
                               L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", FULL, true),
                      owned_by("system_lookalike_owns", L"S-1-5-18-1", FULL, false),
                      owned_by("local_service_owns", L"S-1-5-19", FULL, false),
                      owned_by("users_may_read_and_run", USER, 0x1200A9, true),
                      owned_by("owner_may_change_the_list", USER, 0x1E00A9, true),
                      owned_by("users_may_add_files", USER, 0x2, false),
                      owned_by("users_may_add_folders", USER, 0x4, false),
                      owned_by("users_may_delete_children", USER, 0x40, false),
                      owned_by("users_have_generic_all", USER, 0x10000000, false),
                      owned_by("users_have_generic_write", USER, 0x40000000, false),
                      owned_by("users_have_generic_execute", USER, 0x20000000, true),
                      user_owned("only_trusted_may_change", AccessEntry{L"S-1-5-18", FULL}, true),
                      user_owned("owner_has_full_control", AccessEntry{USER, FULL}, false),
                      user_owned("for_children_only", AccessEntry{USER, FULL, true, true}, true),
                      user_owned("denied", AccessEntry{USER, FULL, false, false}, true),
                      SecurityRow{"no_access_list", FolderSecurity{USER, false, {}}, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TemporaryFileName, CarriesEveryRandomByteAndDiffersWithThem)
{
    std::array<std::uint8_t, TEMPORARY_NAME_RANDOM_BYTES> random{};
    for (std::size_t i = 0; i < random.size(); ++i) {
        random[i] = static_cast<std::uint8_t>(i * 0x11);
    }
    const std::wstring name = temporary_file_name(random);
    EXPECT_NE(name.find(L"00112233445566778899AABBCCDDEEFF"), std::wstring::npos) << ::testing::PrintToString(name);
    EXPECT_EQ(name.find_first_of(L"\\/:"), std::wstring::npos);
    random.back() = 0xFE;
    EXPECT_NE(temporary_file_name(random), name);
}

}  // namespace
}  // namespace tovalen::platform
