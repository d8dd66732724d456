// The browser the ticket button starts, by its full path where the system registers it: the
// build's recording stand-in registered there for the test, and the registration put back after.
#pragma once

#include "support/build_paths.h"
#include "support/registry_values.h"

#include <string>

namespace tovalen::testing {

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
