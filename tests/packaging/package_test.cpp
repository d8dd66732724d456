// The installer package, installed, upgraded and removed for real with msiexec in the test
// prefix, silently as a deployment tool runs it.
#include "packaging/installation.h"
#include "policy_names.h"
#include "stop_program/run_command.h"
#include "stop_program/stop_program.h"
#include "support/build_paths.h"
#include "support/program_under_test.h"
#include "support/registry_values.h"

#include <msi.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <optional>

namespace tovalen {
namespace {

using namespace testing;

const std::wstring CURRENT_VERSION = TOVALEN_VERSION;
const std::wstring NEXT_VERSION = TOVALEN_NEXT_VERSION;

std::wstring current_package() { return build_file(TOVALEN_CURRENT_PACKAGE); }
std::wstring next_package() { return build_file(TOVALEN_NEXT_PACKAGE); }
std::wstring signed_package() { return build_file(TOVALEN_SIGNED_PACKAGE); }
std::wstring field_package() { return build_file(TOVALEN_FIELD_PACKAGE); }

class Package : public ::testing::Test {
protected:
    // Each test starts from a machine without the product and leaves none behind.
    void SetUp() override
    {
        remove_every_installed_version();
        remove_leftovers();
        ASSERT_EQ(installed_products().size(), 0u) << "a version from before could not be removed";
        ASSERT_FALSE(path_exists(program)) << "a program file from before could not be removed";
        ASSERT_EQ(installed_shortcut(), L"") << "a shortcut from before could not be removed";
        ASSERT_EQ(run_value(), std::nullopt) << "a Run value from before could not be removed";
    }
    void TearDown() override
    {
        remove_every_installed_version();
        remove_leftovers();
    }

    void install(const std::wstring& package, const std::wstring& properties = L"")
    {
        ASSERT_EQ(install_silently(package, properties), ERROR_SUCCESS) << ::testing::PrintToString(properties);
    }

    // Values Group Policy set in the policy key, put back as they were after the test (after
    // TearDown, so that no uninstall of a failed test runs after the put-back).
    void set_by_group_policy(const RegistryTexts& values)
    {
        group_policy_.emplace(HKEY_LOCAL_MACHINE, POLICY_KEY);
        for (const auto& [name, text] : values) {
            ASSERT_TRUE(group_policy_->set_text(name, text));
        }
        ASSERT_EQ(company_values(POLICY_KEY), values) << "the test starts from exactly the values Group Policy set";
    }

    void expect_removed_without_a_trace(const RegistryTexts& left_by_group_policy = {})
    {
        EXPECT_FALSE(path_exists(program)) << "the program file";
        EXPECT_FALSE(path_exists(license)) << "the licence";
        EXPECT_FALSE(path_exists(folder_of(program))) << "the program folder";
        EXPECT_EQ(installed_shortcut(), L"") << "the Start-menu shortcut";
        EXPECT_EQ(run_value(), std::nullopt);
        EXPECT_EQ(company_values(POLICY_KEY), left_by_group_policy) << "Group Policy's values are left as they were";
        EXPECT_TRUE(machine_values(TOVALEN_INSTALLER_KEY).empty()) << "the installer's own record";
        EXPECT_TRUE(tovalen_uninstall_entries().empty());
        EXPECT_TRUE(installed_products().empty());
    }

    void expect_one_installation_of(const std::wstring& version, bool starts_at_logon = true)
    {
        const auto products = installed_products();
        ASSERT_EQ(products.size(), 1u);
        EXPECT_EQ(product_info(products.front(), INSTALLPROPERTY_VERSIONSTRING), version);
        const auto entries = tovalen_uninstall_entries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries.front().key_name, products.front());
        EXPECT_EQ(entries.front().display_version, version);
        const auto built = file_bytes(tovalen_program_path());
        ASSERT_FALSE(built.empty());
        EXPECT_EQ(file_bytes(program), built);
        const auto source_license = file_bytes(build_file(TOVALEN_SOURCE_LICENSE));
        ASSERT_FALSE(source_license.empty());
        EXPECT_EQ(file_bytes(license), source_license) << "the licence beside the program";
        EXPECT_NE(installed_shortcut(), L"") << "the Start-menu shortcut";
        EXPECT_EQ(run_value(), starts_at_logon ? std::optional<std::wstring>(L"\"" + program + L"\"") : std::nullopt);
    }

    const std::wstring program = expected_program_path();
    const std::wstring license = expected_license_path();

private:
    std::optional<RegistryValues> group_policy_;
};

TEST_F(Package, SilentInstallPutsTheProgramWhereItsRunValueStartsIt)
{
    install(current_package());

    ASSERT_TRUE(path_exists(program));
    const auto built = file_bytes(tovalen_program_path());
    ASSERT_FALSE(built.empty());
    EXPECT_EQ(file_bytes(program), built) << "the program of this build";
    const auto command = run_value();
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(*command, L"\"" + program + L"\"") << "quoted, as the path holds a space";
    EXPECT_EQ(packaging::program_of_run_command(*command), program);
    EXPECT_EQ(run_value(RegistryView::wow32), std::nullopt) << "the 64-bit program starts from the 64-bit Run key";
}

TEST_F(Package, InstallMakesOneUninstallEntryWithTheProductIconAndVersion)
{
    install(current_package());

    expect_one_installation_of(CURRENT_VERSION);
    const std::wstring code = installed_products().front();
    const auto entry = tovalen_uninstall_entries().front();
    EXPECT_EQ(entry.publisher, L"Tovalen");
    EXPECT_EQ(entry.no_modify, 1u) << "there is nothing to change, only to remove";
    EXPECT_TRUE(tovalen_uninstall_entries(RegistryView::wow32).empty());
    EXPECT_EQ(product_info(code, INSTALLPROPERTY_PRODUCTNAME), L"Tovalen");

    const std::wstring icon = product_info(code, INSTALLPROPERTY_PRODUCTICON);
    ASSERT_FALSE(icon.empty()) << "the entry names an icon";
    const auto product_icon = file_bytes(build_file(TOVALEN_SOURCE_ICON));
    ASSERT_FALSE(product_icon.empty());
    EXPECT_EQ(file_bytes(icon), product_icon) << icon;
}

TEST_F(Package, PackageVersionIsTheProgramsVersion)
{
    install(current_package());

    // The built program's own version resource is the reference, not the number the build wrote.
    const std::wstring built = file_version(tovalen_program_path());
    ASSERT_FALSE(built.empty()) << "the built program carries no version resource";
    EXPECT_EQ(built, CURRENT_VERSION);
    EXPECT_EQ(file_version(program), built);
    EXPECT_EQ(product_info(installed_products().front(), INSTALLPROPERTY_VERSIONSTRING), built);
}

// A package signed with the build's throwaway certificate installs and runs as the unsigned one.
struct PackageRow {
    const char* name;
    std::wstring (*package)();
    friend void PrintTo(const PackageRow& row, std::ostream* out) { *out << row.name; }
};

class InstalledProgram : public Package, public ::testing::WithParamInterface<PackageRow> {};

TEST_P(InstalledProgram, StartsAndShowsItsReportOnALeftPress)
{
    install(GetParam().package());
    const auto command = run_value();
    ASSERT_TRUE(command.has_value());

    ProgramUnderTest started(packaging::program_of_run_command(*command));
    ASSERT_EQ(started.wait_until_running(), "");
    EXPECT_FALSE(started.window_visible());
    EXPECT_TRUE(started.press_to_show());
    EXPECT_TRUE(started.shows_a_report()) << ::testing::PrintToString(started.editor_text());
}

INSTANTIATE_TEST_SUITE_P(Packages, InstalledProgram,
                         ::testing::Values(PackageRow{"unsigned", current_package},
                                           PackageRow{"signed", signed_package}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Package, SecondInstallOfTheSameVersionChangesNothingAndSucceeds)
{
    install(current_package());
    const InstallationSnapshot before = take_snapshot();
    ASSERT_TRUE(before.program.exists);
    ASSERT_TRUE(before.license.exists);
    ASSERT_TRUE(before.shortcut.has_value());
    ASSERT_TRUE(before.run.has_value());
    ASSERT_EQ(before.entries.size(), 1u);
    ASSERT_EQ(before.products.size(), 1u);

    EXPECT_EQ(install_silently(current_package()), ERROR_SUCCESS);

    EXPECT_EQ(take_snapshot(), before);
}

TEST_F(Package, HigherVersionReplacesTheOlder)
{
    install(current_package());
    const std::wstring older = installed_products().front();

    install(next_package());

    expect_one_installation_of(NEXT_VERSION);
    EXPECT_NE(installed_products().front(), older) << "each version is a product of its own";
}

TEST_F(Package, LowerVersionIsRefusedAndLeavesTheNewerWhole)
{
    install(next_package());

    EXPECT_EQ(install_silently(current_package()), static_cast<DWORD>(ERROR_INSTALL_FAILURE));

    expect_one_installation_of(NEXT_VERSION);
}

TEST_F(Package, SilentUninstallRemovesFileRunValueAndEntry)
{
    install(current_package());
    const std::wstring code = installed_products().front();
    const std::wstring icon = product_info(code, INSTALLPROPERTY_PRODUCTICON);
    const std::wstring cached_package = product_info(code, INSTALLPROPERTY_LOCALPACKAGE);
    ASSERT_TRUE(path_exists(icon));
    ASSERT_TRUE(path_exists(cached_package));

    EXPECT_EQ(uninstall_silently(current_package()), ERROR_SUCCESS);

    expect_removed_without_a_trace();
    EXPECT_FALSE(path_exists(icon)) << "the installer's copy of the icon";
    EXPECT_FALSE(path_exists(folder_of(icon))) << "the installer's folder of the product";
    EXPECT_FALSE(path_exists(cached_package)) << "the installer's copy of the package";
}

// The stop before the uninstall finds the installed program also without a Run value.
struct RunningRow {
    const char* name;
    std::wstring properties;
    bool starts_at_logon;
    friend void PrintTo(const RunningRow& row, std::ostream* out) { *out << row.name; }
};

class UninstallWhileTheProgramRuns : public Package, public ::testing::WithParamInterface<RunningRow> {};

TEST_P(UninstallWhileTheProgramRuns, EndsItAndRemovesEverything)
{
    install(current_package(), GetParam().properties);
    ASSERT_EQ(run_value().has_value(), GetParam().starts_at_logon);
    // Both copies run at once, as two users' copies do.
    const testing::CopiesApart apart;
    ASSERT_TRUE(apart.holds_the_name());
    ProgramUnderTest running(program);
    ASSERT_EQ(running.wait_until_running(), "");
    ProgramUnderTest elsewhere(tovalen_program_path());
    ASSERT_EQ(elsewhere.wait_until_running(), "");

    EXPECT_EQ(uninstall_silently(current_package()), ERROR_SUCCESS);

    EXPECT_NE(running.wait_exit(10000), static_cast<DWORD>(STILL_ACTIVE)) << "the running copy was ended";
    expect_removed_without_a_trace();
    EXPECT_EQ(elsewhere.wait_exit(0), static_cast<DWORD>(STILL_ACTIVE)) << "a copy run from elsewhere is not ours";
}

INSTANTIATE_TEST_SUITE_P(Autostart, UninstallWhileTheProgramRuns,
                         ::testing::Values(RunningRow{"starting_at_logon", L"", true},
                                           RunningRow{"without_autostart", L"AUTOSTART=0", false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Package, UpgradeWhileTheOlderProgramRunsReplacesIt)
{
    install(current_package());
    ProgramUnderTest running(program);
    ASSERT_EQ(running.wait_until_running(), "");

    install(next_package());

    EXPECT_NE(running.wait_exit(10000), static_cast<DWORD>(STILL_ACTIVE)) << "the older copy was ended";
    expect_one_installation_of(NEXT_VERSION);
}

// The installer's properties: each one given writes its value into the installer's own key, and
// nothing is written to or removed from the policy key, which belongs to Group Policy (also where
// Group Policy set the same value as a property).
struct PropertiesRow {
    const char* name;
    std::wstring properties;
    RegistryTexts set_by_group_policy;
    RegistryTexts installer_values;
    bool starts_at_logon;
    friend void PrintTo(const PropertiesRow& row, std::ostream* out) { *out << row.name; }
};

class InstallProperties : public Package, public ::testing::WithParamInterface<PropertiesRow> {};

TEST_P(InstallProperties, WriteExactlyTheValuesGivenAndUninstallRemovesOnlyThose)
{
    const PropertiesRow& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(set_by_group_policy(row.set_by_group_policy));

    install(current_package(), row.properties);

    EXPECT_EQ(company_values(POLICY_KEY), row.set_by_group_policy);
    EXPECT_EQ(company_values(INSTALLER_KEY), row.installer_values);
    expect_one_installation_of(CURRENT_VERSION, row.starts_at_logon);

    EXPECT_EQ(uninstall_silently(current_package()), ERROR_SUCCESS);

    expect_removed_without_a_trace(row.set_by_group_policy);
}

const std::wstring HELPDESK = L"helpdesk.corp.example:8443";
const std::wstring PRINT = L"print01.corp.example";
const std::wstring MAILBOX = L"it-support@corp.example";
const std::wstring FORM_URL = L"https://helpdesk.corp.example/tickets/new?ListId=7&Source=Tovalen";
const std::wstring POLICY_PRINT = L"gpo-print.corp.example";
const std::wstring POLICY_FORM_URL = L"https://gpo.corp.example/form";

INSTANTIATE_TEST_SUITE_P(
    Rows, InstallProperties,
    ::testing::Values(
        PropertiesRow{"nothing_given", L"", {}, {}, true},
        PropertiesRow{"helpdesk_server_beside_group_policy",
                      L"HELPDESK_SERVER=" + HELPDESK,
                      {{POLICY_PRINT_SERVER, POLICY_PRINT}, {POLICY_TICKET_FORM_URL, POLICY_FORM_URL}},
                      {{POLICY_HELPDESK_SERVER, HELPDESK}},
                      true},
        PropertiesRow{"print_server_also_set_by_group_policy",
                      L"PRINT_SERVER=" + PRINT + L" AUTOSTART=0",
                      {{POLICY_PRINT_SERVER, POLICY_PRINT}},
                      {{POLICY_PRINT_SERVER, PRINT}},
                      false},
        PropertiesRow{"support_mailbox_with_autostart",
                      L"SUPPORT_MAILBOX=" + MAILBOX + L" AUTOSTART=1",
                      {},
                      {{POLICY_SUPPORT_MAILBOX, MAILBOX}},
                      true},
        PropertiesRow{"autostart_false_in_any_case", L"AUTOSTART=False", {}, {}, false},
        PropertiesRow{"autostart_offline_is_not_off", L"AUTOSTART=offline", {}, {}, true},
        PropertiesRow{"ticket_form_url",
                      L"TICKET_FORM_URL=\"" + FORM_URL + L"\"",
                      {},
                      {{POLICY_TICKET_FORM_URL, FORM_URL}},
                      true}),
    [](const auto& row) { return std::string(row.param.name); });

// A major upgrade removes the older version with all it wrote; the newer one writes again what
// the older was given, unless it is given a property anew, and leaves Group Policy's values as
// they were through install, upgrade and uninstall, also one of the same name.
TEST_F(Package, UpgradeKeepsWhatTheOlderVersionWasGivenUnlessGivenAnew)
{
    const RegistryTexts by_group_policy{{POLICY_SUPPORT_MAILBOX, MAILBOX}, {POLICY_PRINT_SERVER, POLICY_PRINT}};
    ASSERT_NO_FATAL_FAILURE(set_by_group_policy(by_group_policy));
    install(current_package(), L"HELPDESK_SERVER=" + HELPDESK + L" PRINT_SERVER=" + PRINT + L" AUTOSTART=0");

    install(next_package(), L"PRINT_SERVER=print02.corp.example");

    expect_one_installation_of(NEXT_VERSION, false);
    const RegistryTexts upgraded{{POLICY_HELPDESK_SERVER, HELPDESK}, {POLICY_PRINT_SERVER, L"print02.corp.example"}};
    EXPECT_EQ(company_values(INSTALLER_KEY), upgraded);
    EXPECT_EQ(company_values(POLICY_KEY), by_group_policy);

    EXPECT_EQ(uninstall_silently(next_package()), ERROR_SUCCESS);

    expect_removed_without_a_trace(by_group_policy);
}

// A folder the admin chose stays the program's folder through an upgrade that does not name one:
// the admin's path rules for application control keep matching. Version 1.0.0 kept no InstallDir
// value, only the Program value.
struct UpgradeRow {
    const char* name;
    std::wstring (*older)();
    std::wstring (*newer)();
};

class UpgradeStays : public Package, public ::testing::WithParamInterface<UpgradeRow> {};

TEST_P(UpgradeStays, InTheFolderChosenAtInstall)
{
    const std::wstring folder = folder_of(program) + L" Chosen";
    install(GetParam().older(), L"INSTALLDIR=\"" + folder + L"\"");
    install(GetParam().newer());

    EXPECT_TRUE(path_exists(folder + L"\\tovalen.exe"));
    EXPECT_FALSE(path_exists(program)) << "moved back to the default folder";
    EXPECT_EQ(run_value(), L"\"" + folder + L"\\tovalen.exe\"");
    EXPECT_EQ(installed_products().size(), 1u);

    EXPECT_EQ(uninstall_silently(GetParam().newer()), ERROR_SUCCESS);
    EXPECT_FALSE(path_exists(folder));
}

INSTANTIATE_TEST_SUITE_P(Packages, UpgradeStays,
                         ::testing::Values(UpgradeRow{"from_the_previous_version", current_package, next_package},
                                           UpgradeRow{"from_1_0_0", field_package, current_package}),
                         [](const auto& row) { return std::string(row.param.name); });

// A maintenance run of the installed product, which any user of the machine may start, given new
// values and another folder: the values, the Run value and the folder stay as the install left them.
struct MaintenanceRow {
    const char* name;
    std::wstring action;   // msiexec's option before the product code
    std::wstring options;  // after it
    friend void PrintTo(const MaintenanceRow& row, std::ostream* out) { *out << row.name; }
};

class MaintenanceRun : public Package, public ::testing::WithParamInterface<MaintenanceRow> {};

TEST_P(MaintenanceRun, KeepsTheValuesAndTheFolderOfTheInstall)
{
    install(current_package(), L"PRINT_SERVER=" + PRINT + L" AUTOSTART=0");
    const InstallationSnapshot before = take_snapshot();
    ASSERT_EQ(before.installer_record.count(POLICY_PRINT_SERVER), 1u);
    const std::wstring elsewhere = folder_of(program) + L" Elsewhere";

    EXPECT_EQ(run_msiexec(GetParam().action + L" " + before.products.front() + L" /qn " + GetParam().options +
                          L" PRINT_SERVER=print02.corp.example HELPDESK_SERVER=" + HELPDESK + L" AUTOSTART=1 INSTALLDIR=\"" +
                          elsewhere + L"\""),
              ERROR_SUCCESS);

    EXPECT_EQ(take_snapshot(), before);
    EXPECT_FALSE(path_exists(elsewhere));
}

INSTANTIATE_TEST_SUITE_P(Runs, MaintenanceRun,
                         ::testing::Values(MaintenanceRow{"registry_repair", L"/i", L"REINSTALL=ALL REINSTALLMODE=m"},
                                           MaintenanceRow{"full_repair", L"/i", L"REINSTALL=ALL REINSTALLMODE=amus"},
                                           MaintenanceRow{"modify", L"/i", L"ADDLOCAL=ALL"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Package, ShortcutTableHoldsTheStartMenuEntryWithTheProgramsIcon)
{
    const std::vector<ShortcutRow> expected{
        {L"ProgramMenuFolder", L"Tovalen", L"[#tovalen.exe]", L"tovalen.ico", L"INSTALLDIR"}};

    EXPECT_EQ(shortcut_rows(current_package()), expected);
}

// The folder (made by the program's component) and the program carry access lists of their own,
// whatever the chosen folder's parent grants: SYSTEM and Administrators full control, Users and
// the owner read and execute, nobody else; the folder's entries pass to what is put in it.
TEST_F(Package, FolderAndProgramCarryAccessListsOfTheirOwn)
{
    const std::wstring package = current_package();
    EXPECT_EQ(package_rows(package, L"SELECT `Directory_`, `Component_` FROM `CreateFolder`"),
              (TableRows{{L"INSTALLDIR", L"Program"}}));
    const TableRows locks =
        package_rows(package, L"SELECT `Table`, `LockObject`, `SDDLText`, `Condition` FROM `MsiLockPermissionsEx`");
    ASSERT_EQ(locks.size(), 2u);
    const ACCESS_MASK read_and_execute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
    for (const auto& [table, object, inheritance] :
         {std::tuple{L"CreateFolder", L"INSTALLDIR", OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE},
          std::tuple{L"File", L"tovalen.exe", 0}}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(object)));
        const auto lock = std::find_if(locks.begin(), locks.end(),
                                       [&](const auto& row) { return row[0] == table && row[1] == object; });
        ASSERT_NE(lock, locks.end());
        EXPECT_EQ((*lock)[3], L"") << "applied whatever the conditions";
        const auto allowed = [&](ACCESS_MASK rights) {
            return AccessEntry{ACCESS_ALLOWED_ACE_TYPE, static_cast<BYTE>(inheritance), rights};
        };
        const AccessList expected{true,
                                  {{L"S-1-3-4", allowed(read_and_execute)},
                                   {L"S-1-5-18", allowed(FILE_ALL_ACCESS)},
                                   {L"S-1-5-32-544", allowed(FILE_ALL_ACCESS)},
                                   {L"S-1-5-32-545", allowed(read_and_execute)}}};
        EXPECT_EQ(access_list_of((*lock)[2]), expected) << ::testing::PrintToString((*lock)[2]);
    }
}

TEST_F(Package, StartMenuShortcutStartsTheInstalledProgram)
{
    install(current_package());
    ASSERT_TRUE(report_windows_of(program).empty()) << "no copy runs before the shortcut is started";
    const std::wstring shortcut = installed_shortcut();
    const auto view = read_shortcut(shortcut);
    ASSERT_TRUE(view.has_value()) << ::testing::PrintToString(shortcut);
    EXPECT_EQ(view->target, program);
    EXPECT_EQ(view->working_directory, folder_of(program) + L"\\") << "a folder as the installer writes it";
    const auto product_icon = file_bytes(build_file(TOVALEN_SOURCE_ICON));
    ASSERT_FALSE(product_icon.empty());
    EXPECT_EQ(file_bytes(view->icon_file), product_icon)
        << "the program's icon: " << ::testing::PrintToString(view->icon_file);

    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = shortcut.c_str();
    execute.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(::ShellExecuteExW(&execute)) << ::GetLastError();

    EXPECT_TRUE(wait_until([&] { return !report_windows_of(program).empty(); }));
    const packaging::StopOutcome ended = packaging::stop_program_copies(program, 10000);
    EXPECT_EQ(ended.found, 1u) << "one copy of the installed program";
    EXPECT_EQ(ended.still_running, 0u);
}

}  // namespace
}  // namespace tovalen
