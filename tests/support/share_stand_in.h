// A print server's printers share that records who opens it, in the private prefix. Wine finds
// \\server\share in the prefix's dosdevices/unc/server/share, and starting "\\server\printers$"
// as a program runs "\\server\printers$.exe" when there is one; the recording stand-in put
// there adds the command line it got to the file named by TOVALEN_RECORD_FILE, which is then
// exactly the share the printer button started. Taken away again, with the folders it made.
#pragma once

#include "support/build_paths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace tovalen::testing {

class PrinterShareStandIn {
public:
    explicit PrinterShareStandIn(const std::wstring& server)
        : unc_folder_(build_file(L"wineprefix/dosdevices/unc")),
          server_folder_(unc_folder_ + L"\\" + server),
          program_(server_folder_ + L"\\printers$.exe")
    {
        made_unc_folder_ = ::CreateDirectoryW(unc_folder_.c_str(), nullptr) != FALSE;
        made_server_folder_ = ::CreateDirectoryW(server_folder_.c_str(), nullptr) != FALSE;
        placed_ = ::CopyFileW(build_file(L"stand-ins/browser/iexplore.exe").c_str(), program_.c_str(), FALSE) != FALSE;
    }
    ~PrinterShareStandIn()
    {
        if (placed_ && !::DeleteFileW(program_.c_str())) {
            ADD_FAILURE() << "could not take the share's stand-in away, error " << ::GetLastError();
        }
        if (made_server_folder_) {
            ::RemoveDirectoryW(server_folder_.c_str());
        }
        if (made_unc_folder_) {
            ::RemoveDirectoryW(unc_folder_.c_str());
        }
    }
    PrinterShareStandIn(const PrinterShareStandIn&) = delete;
    PrinterShareStandIn& operator=(const PrinterShareStandIn&) = delete;

    bool placed() const { return placed_; }

private:
    std::wstring unc_folder_;
    std::wstring server_folder_;
    std::wstring program_;
    bool made_unc_folder_ = false;
    bool made_server_folder_ = false;
    bool placed_ = false;
};

}  // namespace tovalen::testing
