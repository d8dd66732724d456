// The process's current directory changed for a test and put back when the test is done: a
// stand-in program in it is found before the system's own.
#pragma once

#include <windows.h>

#include <string>

namespace tovalen::testing {

class CurrentDirectory {
public:
    CurrentDirectory()
    {
        wchar_t previous[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, previous);
        previous_ = previous;
    }
    explicit CurrentDirectory(const std::wstring& directory) : CurrentDirectory() { changed_ = change_to(directory); }
    ~CurrentDirectory() { ::SetCurrentDirectoryW(previous_.c_str()); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

    bool change_to(const std::wstring& directory) { return ::SetCurrentDirectoryW(directory.c_str()) != FALSE; }
    bool changed() const { return changed_; }

private:
    std::wstring previous_;
    bool changed_ = false;
};

}  // namespace tovalen::testing
