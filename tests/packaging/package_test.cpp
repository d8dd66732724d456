// The installer package, installed, upgraded and removed for real with msiexec in the test
// prefix, silently as a deployment tool runs it.
#include "packaging/installation.h"
#include "stop_program/run_command.h"
#include "support/build_paths.h"
#include "support/program_under_test.h"

#include <msi.h>

#include <gtest/gtest.h>

namespace tovalen {
namespace {

using namespace testing;

const std::wstring CURRENT_VERSION = TOVALEN_VERSION;
const std::wstring NEXT_VERSION = TOVALEN_NEXT_VERSION;

std::wstring current_package() { return build_file(TOVALEN_CURRENT_PACKAGE); }
std::wstring next_package() { return build_file(TOVALEN_NEXT_PACKAGE); }

class Package : public ::testing::Test {
protected:
    // Each test starts from a machine without the product and leaves none behind.
    void SetUp() override
    {
        remove_every_installed_version();
        remove_leftovers();
        ASSERT_EQ(installed_products().size(), 0u) << "a version from before could not be removed";
        ASSERT_FALSE(path_exists(program)) << "a program file from before could not be removed";
        ASSERT_EQ(run_value(), std::nullopt) << "a Run value from before could not be removed";
    }
    void TearDown() override
    {
        remove_every_installed_version();
        remove_leftovers();
    }

    void install(const std::wstring& package) { ASSERT_EQ(install_silently(package), ERROR_SUCCESS); }

    void expect_removed_without_a_trace()
    {
        EXPECT_FALSE(path_exists(program)) << "the program file";
        EXPECT_FALSE(path_exists(folder_of(program))) << "the program folder";
        EXPECT_EQ(run_value(), std::nullopt);
        EXPECT_TRUE(tovalen_uninstall_entries().empty());
        EXPECT_TRUE(installed_products().empty());
    }

    void expect_one_installation_of(const std::wstring& version)
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
        EXPECT_EQ(run_value(), L"\"" + program + L"\"");
    }

    const std::wstring program = expected_program_path();
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

    EXPECT_EQ(file_version(program), CURRENT_VERSION);
    EXPECT_EQ(product_info(installed_products().front(), INSTALLPROPERTY_VERSIONSTRING), file_version(program));
}

TEST_F(Package, InstalledProgramStartsAndShowsItsReportOnALeftPress)
{
    install(current_package());
    const auto command = run_value();
    ASSERT_TRUE(command.has_value());

    ProgramUnderTest started(packaging::program_of_run_command(*command));
    ASSERT_TRUE(started.started());
    ASSERT_NE(started.main_window(), nullptr);
    EXPECT_FALSE(started.window_visible());
    started.post_tray(WM_LBUTTONDOWN);
    EXPECT_TRUE(started.wait_for_report_window());
    EXPECT_EQ(started.editor_text().rfind(L"----Hardware----", 0), 0u)
        << ::testing::PrintToString(started.editor_text());
}

TEST_F(Package, SecondInstallOfTheSameVersionChangesNothingAndSucceeds)
{
    install(current_package());
    const InstallationSnapshot before = take_snapshot();
    ASSERT_TRUE(before.program.exists);
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

TEST_F(Package, UninstallWhileTheProgramRunsEndsItAndRemovesEverything)
{
    install(current_package());
    // Both copies run at once, as two users' copies do.
    const testing::CopiesApart apart;
    ASSERT_TRUE(apart.holds_the_name());
    ProgramUnderTest running(program);
    ASSERT_NE(running.main_window(), nullptr);
    ProgramUnderTest elsewhere(tovalen_program_path());
    ASSERT_NE(elsewhere.main_window(), nullptr);

    EXPECT_EQ(uninstall_silently(current_package()), ERROR_SUCCESS);

    EXPECT_NE(running.wait_exit(10000), static_cast<DWORD>(STILL_ACTIVE)) << "the running copy was ended";
    expect_removed_without_a_trace();
    EXPECT_EQ(elsewhere.wait_exit(0), static_cast<DWORD>(STILL_ACTIVE)) << "a copy run from elsewhere is not ours";
}

TEST_F(Package, UpgradeWhileTheOlderProgramRunsReplacesIt)
{
    install(current_package());
    ProgramUnderTest running(program);
    ASSERT_NE(running.main_window(), nullptr);

    install(next_package());

    EXPECT_NE(running.wait_exit(10000), static_cast<DWORD>(STILL_ACTIVE)) << "the older copy was ended";
    expect_one_installation_of(NEXT_VERSION);
}

}  // namespace
}  // namespace tovalen
