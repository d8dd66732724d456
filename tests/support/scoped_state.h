// Owners of what a test changes in state that outlives it: the current directory, environment
// variables, files of the Wine prefix, program-wide values. Each puts back what it found when it
// goes, and a put-back that fails fails the test, so a broken restore is never silent.
#pragma once

#include "support/build_paths.h"
#include "support/polling.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tovalen::testing {

class CurrentDirectory {
public:
    CurrentDirectory() : previous_(current()) {}
    explicit CurrentDirectory(const std::wstring& directory) : CurrentDirectory() { changed_ = change_to(directory); }
    ~CurrentDirectory()
    {
        if (!::SetCurrentDirectoryW(previous_.c_str())) {
            ADD_FAILURE() << "could not return to the current directory, error " << ::GetLastError();
        }
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

    bool change_to(const std::wstring& directory) { return ::SetCurrentDirectoryW(directory.c_str()) != FALSE; }
    bool changed() const { return changed_; }

private:
    static std::wstring current()
    {
        std::vector<wchar_t> buffer(::GetCurrentDirectoryW(0, nullptr) + 1, L'\0');
        ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        return buffer.data();
    }

    std::wstring previous_;
    bool changed_ = false;
};

// A variable of this process's environment, set (or removed, with nullptr) for the owner's life.
class EnvironmentVariable {
public:
    EnvironmentVariable(std::wstring name, const wchar_t* value) : name_(std::move(name)), previous_(read(name_))
    {
        set_ = ::SetEnvironmentVariableW(name_.c_str(), value) != FALSE;
    }
    EnvironmentVariable(std::wstring name, const std::wstring& value) : EnvironmentVariable(std::move(name), value.c_str())
    {
    }
    ~EnvironmentVariable()
    {
        if (!::SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr)) {
            ADD_FAILURE() << "could not restore an environment variable, error " << ::GetLastError();
        }
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

    bool set() const { return set_; }

private:
    static std::optional<std::wstring> read(const std::wstring& name)
    {
        const DWORD needed = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
        if (needed == 0) {
            return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::wstring>(L"");
        }
        std::vector<wchar_t> buffer(needed, L'\0');
        ::GetEnvironmentVariableW(name.c_str(), buffer.data(), needed);
        return std::wstring(buffer.data());
    }

    std::wstring name_;
    std::optional<std::wstring> previous_;
    bool set_ = false;
};

// A file moved aside for the owner's life. A copy still aside from an interrupted earlier run is
// put back first, so a reused Wine prefix never stays without the file.
class MovedAsideFile {
public:
    MovedAsideFile(std::wstring path, std::wstring aside) : path_(std::move(path)), aside_(std::move(aside))
    {
        if (path_exists(aside_) && !path_exists(path_)) {
            ::MoveFileW(aside_.c_str(), path_.c_str());
        }
        moved_ = ::MoveFileW(path_.c_str(), aside_.c_str()) != FALSE;
    }
    ~MovedAsideFile()
    {
        if (moved_ && !::MoveFileW(aside_.c_str(), path_.c_str())) {
            ADD_FAILURE() << "could not put a moved file back, error " << ::GetLastError();
        }
    }
    MovedAsideFile(const MovedAsideFile&) = delete;
    MovedAsideFile& operator=(const MovedAsideFile&) = delete;

    bool moved() const { return moved_; }

private:
    std::wstring path_;
    std::wstring aside_;
    bool moved_ = false;
};

// Copies of a file placed for the owner's life, with the folders made for them; all taken away
// again, deepest first. A placed program that a test started may still be ending when the test
// has seen what it recorded, and its file stays in use until it has: removal waits for that.
class PlacedFiles {
public:
    PlacedFiles() = default;
    ~PlacedFiles()
    {
        for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
            const bool removed = made->second ? remove_once_free(made->first) : ::RemoveDirectoryW(made->first.c_str());
            if (!removed) {
                ADD_FAILURE() << "could not take a placed file away, error " << ::GetLastError();
            }
        }
    }
    PlacedFiles(const PlacedFiles&) = delete;
    PlacedFiles& operator=(const PlacedFiles&) = delete;

    bool place(const std::wstring& source, const std::wstring& destination)
    {
        for (std::size_t end = destination.find(L'\\', 3); end != std::wstring::npos;
             end = destination.find(L'\\', end + 1)) {
            const std::wstring folder = destination.substr(0, end);
            if (::CreateDirectoryW(folder.c_str(), nullptr)) {
                made_.emplace_back(folder, false);
            }
        }
        if (!::CopyFileW(source.c_str(), destination.c_str(), FALSE)) {
            return false;
        }
        made_.emplace_back(destination, true);
        return true;
    }

private:
    static bool remove_once_free(const std::wstring& file)
    {
        DWORD error = ERROR_SUCCESS;
        wait_until([&] {
            error = ::DeleteFileW(file.c_str()) ? ERROR_SUCCESS : ::GetLastError();
            return error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION;
        });
        ::SetLastError(error);
        return error == ERROR_SUCCESS;
    }

    std::vector<std::pair<std::wstring, bool>> made_;  // path, and whether it is a file
};

// A program-wide variable that a test overwrites, put back to what it held.
template <typename T>
class SavedValue {
public:
    explicit SavedValue(T& variable) : variable_(variable), saved_(variable) {}
    ~SavedValue() { variable_ = std::move(saved_); }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

private:
    T& variable_;
    T saved_;
};

}  // namespace tovalen::testing
