// The recording stand-in, which writes down the command line it was started with, and the
// browser the ticket button starts, by its full path where the system registers it: the build's
// stand-in registered there for the test, and the registration put back after.
#pragma once

#include "support/build_paths.h"
#include "support/polling.h"
#include "support/registry_values.h"

#include <string>

namespace tovalen::testing {

// The file the recording stand-in adds each command line it gets to, started as the browser, the
// mail program or a printer share: TOVALEN_RECORD_FILE names it to the stand-in.
inline std::wstring stand_in_record_file() { return build_file(L"stand-ins/browser/record.txt"); }

// The stand-in's record once it has written one (waiting generously); empty when it never did.
inline std::wstring wait_for_stand_in_record()
{
    std::wstring record;
    wait_until([&record] {
        record = read_utf16_file(stand_in_record_file());
        return !record.empty();
    });
    return record;
}

class BrowserStandIn {
public:
    BrowserStandIn() { registered_ = registration_.set_text(L"", path()); }

    static std::wstring path() { return build_file(L"stand-ins/browser/iexplore.exe"); }
    // What the stand-in records when the button starts it with the URL.
    static std::wstring started_with(const std::wstring& url) { return L"\"" + path() + L"\" " + url; }

    bool registered() const { return registered_; }
    bool restore() { return registration_.restore(); }

private:
    RegistryValues registration_{HKEY_LOCAL_MACHINE,
                                 L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE"};
    bool registered_ = false;
};

}  // namespace tovalen::testing
