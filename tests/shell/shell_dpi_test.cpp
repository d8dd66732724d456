// The running program at the display scalings of today's screens: Wine answers the DPI from the
// prefix's LogPixels, which a program reads when it starts, so each row writes it first and
// starts the program afterwards. The test screen (1280 x 800) is too small for the window at
// 144 and 192 DPI, so those rows also check a window fitted to the work area.
#include "support/build_paths.h"
#include "support/program_under_test.h"
#include "support/registry_values.h"
#include "support/report_window_layouts.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <optional>
#include <string>

namespace tovalen {
namespace {

using testing::ProgramUnderTest;

struct DpiRow {
    int dpi;
    bool fits_the_test_screen;
    int two_lines;  // pixels from the first line of text to the third
};

void PrintTo(const DpiRow& row, std::ostream* out) { *out << row.dpi << " DPI"; }

const DpiRow DPI_ROWS[] = {{96, true, 28}, {120, true, 35}, {144, false, 42}, {192, false, 56}};

// The test's own thread reads the program's windows in device pixels, whatever its own DPI.
class DeviceCoordinates {
public:
    DeviceCoordinates()
    {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        set_ = reinterpret_cast<SetRoutine>(
            reinterpret_cast<void (*)()>(::GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
        // Older Wine knows per-monitor awareness only in its first version; both read device pixels.
        for (const HANDLE context : {PER_MONITOR_AWARE_V2, PER_MONITOR_AWARE}) {
            if (set_ != nullptr && previous_ == nullptr) {
                previous_ = set_(context);
            }
        }
    }
    ~DeviceCoordinates()
    {
        if (set_ != nullptr && previous_ != nullptr) {
            set_(previous_);
        }
    }
    DeviceCoordinates(const DeviceCoordinates&) = delete;
    DeviceCoordinates& operator=(const DeviceCoordinates&) = delete;

    bool set() const { return previous_ != nullptr; }

private:
    using SetRoutine = HANDLE(WINAPI*)(HANDLE);
    static inline const HANDLE PER_MONITOR_AWARE = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
    static inline const HANDLE PER_MONITOR_AWARE_V2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    SetRoutine set_ = nullptr;
    HANDLE previous_ = nullptr;
};

void expect_place(HWND control, HWND window, const testing::PixelBox& expected)
{
    ASSERT_NE(control, nullptr);
    const RECT r = testing::place_in(control, window);
    EXPECT_EQ(r.left, expected.left);
    EXPECT_EQ(r.top, expected.top);
    EXPECT_EQ(r.right - r.left, expected.width);
    EXPECT_EQ(r.bottom - r.top, expected.height);
}

bool inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

RECT work_area(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

class ShellAtDpi : public ::testing::TestWithParam<DpiRow> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(coordinates_.set()) << "the test cannot read device pixels, error " << ::GetLastError();
        ASSERT_TRUE(log_pixels_.set_number(L"LogPixels", static_cast<DWORD>(GetParam().dpi)));
        program_.emplace(testing::tovalen_program_path());
        ASSERT_EQ(program_->wait_until_running(), "");
    }

    void TearDown() override
    {
        program_.reset();
        EXPECT_TRUE(log_pixels_.restore()) << "the prefix's DPI was not put back";
    }

    ProgramUnderTest& program() { return *program_; }

private:
    DeviceCoordinates coordinates_;
    testing::RegistryValues log_pixels_{HKEY_CURRENT_USER, L"Control Panel\\Desktop"};
    // Started once the DPI is written: a program reads it when it starts. Ended before the
    // DPI is put back.
    std::optional<ProgramUnderTest> program_;
};

TEST_P(ShellAtDpi, WindowHasItsTitleControlsAndPlaces)
{
    const DpiRow& row = GetParam();
    const auto& layout = testing::report_window_layout(row.dpi);
    HWND window = program().main_window();
    EXPECT_EQ(testing::window_text(window), L"Tovalen");

    RECT client{};
    RECT frame{};
    ::GetClientRect(window, &client);
    ::GetWindowRect(window, &frame);
    const RECT work = work_area(window);
    const int frame_height = (frame.bottom - frame.top) - client.bottom;
    const int room = (work.bottom - work.top) - frame_height;
    EXPECT_EQ(layout.client_height <= room, row.fits_the_test_screen) << "the test screen is not the one the table knows";

    // A window too tall for the screen is made as tall as the work area; only the report shrinks.
    const int shortage = layout.client_height <= room ? 0 : layout.client_height - room;
    EXPECT_EQ(client.right, layout.client_width);
    EXPECT_EQ(client.bottom, layout.client_height - shortage);
    EXPECT_TRUE(inside(frame, work)) << "the window sticks out of the work area";
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    EXPECT_EQ(frame.left, work.left + ((work.right - work.left) - width) / 2) << "centred";
    EXPECT_EQ(frame.top, work.top + ((work.bottom - work.top) - height) / 2) << "centred";

    testing::PixelBox editor = layout.controls[0];
    editor.height -= shortage;
    expect_place(program().control(1), window, editor);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i + 2);
        testing::PixelBox button = layout.controls[i + 1];
        button.top -= shortage;
        HWND control = program().control(i + 2);
        expect_place(control, window, button);
        EXPECT_TRUE(inside(testing::place_in(control, window), client)) << "the button is cut off";
        EXPECT_NE(::SendMessageW(control, BM_GETIMAGE, IMAGE_ICON, 0), 0) << "the button shows its picture";
    }
    // The report's text grows with the rest: two lines down, in the editor's own coordinates.
    program().set_editor_text(L"Model: a\r\nSerial#: b\r\nBIOS: c");
    HWND editor_window = program().control(1);
    const auto third_line = static_cast<WPARAM>(::SendMessageW(editor_window, EM_LINEINDEX, 2, 0));
    const int two_lines = HIWORD(::SendMessageW(editor_window, EM_POSFROMCHAR, third_line, 0)) -
                          HIWORD(::SendMessageW(editor_window, EM_POSFROMCHAR, 0, 0));
    EXPECT_NEAR(two_lines, row.two_lines, 1) << "the report's font";
}

INSTANTIATE_TEST_SUITE_P(Scalings, ShellAtDpi, ::testing::ValuesIn(DPI_ROWS),
                         [](const auto& row) { return std::to_string(row.param.dpi) + "dpi"; });

}  // namespace
}  // namespace tovalen
