#include "support/system_program.h"

#include "platform/system_folder.h"
#include "support/build_paths.h"
#include "support/polling.h"

#include <windows.h>

namespace tovalen::testing {

SystemProgram::SystemProgram(const std::wstring& name)
    : name_(name),
      path_(platform::system_folder() + L"\\" + name),
      backup_(path_ + L".tovalen-test-original"),
      load_order_(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides")
{
    // Left behind by a run that ended before it could restore: that file is the original, and
    // the override that made Wine run the stand-in goes too.
    if (path_exists(backup_)) {
        ::MoveFileExW(backup_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", name.c_str());
    }
}

SystemProgram::~SystemProgram() { restore(); }

bool SystemProgram::save_original()
{
    if (saved_) {
        return true;
    }
    if (path_exists(backup_) || !path_exists(path_)) {
        return false;
    }
    saved_ = ::MoveFileW(path_.c_str(), backup_.c_str()) != FALSE;
    return saved_;
}

bool SystemProgram::replace_with(const std::wstring& stand_in)
{
    return save_original() && ::CopyFileW(stand_in.c_str(), path_.c_str(), FALSE) != FALSE &&
           load_order_.set_text(name_, L"native");
}

bool SystemProgram::remove()
{
    return save_original() && (!path_exists(path_) || ::DeleteFileW(path_.c_str()) != FALSE);
}

bool SystemProgram::restore()
{
    const bool load_order_restored = load_order_.restore();
    if (saved_) {
        // A child that has just ended can still hold the stand-in's image for a moment, and Wine
        // refuses to replace a file a process still runs from.
        saved_ = !wait_until(
            [&] { return ::MoveFileExW(backup_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE; });
    }
    return load_order_restored && !saved_ && path_exists(path_) && !path_exists(backup_);
}

}  // namespace tovalen::testing
