// A print server's printers share that records who opens it, in the private prefix. Wine finds
// \\server\share in the prefix's dosdevices/unc/server/share, and starting "\\server\printers$"
// as a program runs "\\server\printers$.exe" when there is one; the recording stand-in put
// there adds the command line it got to the file named by TOVALEN_RECORD_FILE, which is then
// exactly the share the printer button started. Taken away again, with the folders it made.
#pragma once

#include "support/build_paths.h"
#include "support/scoped_state.h"

#include <string>

namespace tovalen::testing {

class PrinterShareStandIn {
public:
    explicit PrinterShareStandIn(const std::wstring& server)
    {
        placed_ = files_.place(build_file(L"stand-ins/browser/iexplore.exe"),
                               build_file(L"wineprefix/dosdevices/unc/" + server + L"/printers$.exe"));
    }

    bool placed() const { return placed_; }
    // What it records when the server's share is opened.
    static std::wstring opened_for(const std::wstring& server) { return L"\"\\\\" + server + L"\\printers$\""; }

private:
    PlacedFiles files_;
    bool placed_ = false;
};

}  // namespace tovalen::testing
