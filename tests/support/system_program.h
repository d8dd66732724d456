// A program of the private prefix's system folder (net.exe) replaced by a stand-in of the build,
// or taken away, and put back when the owner is done. The original waits beside it under a
// backup name; a backup that an interrupted earlier run left behind is put back first, so that
// no run ever saves a stand-in as "the original". Wine runs its own built-in copy of a system
// program whatever file is in the system folder, unless its DLL overrides (also restored) say
// to run the file.
#pragma once

#include "support/registry_values.h"

#include <string>

namespace tovalen::testing {

class SystemProgram {
public:
    // name: the program's file name in the system folder, e.g. L"net.exe".
    explicit SystemProgram(const std::wstring& name);
    SystemProgram(const SystemProgram&) = delete;
    SystemProgram& operator=(const SystemProgram&) = delete;
    // Puts the original back if restore() has not done so.
    ~SystemProgram();

    // The program's full path in the system folder.
    const std::wstring& path() const { return path_; }

    // Puts the given file in the program's place. False when the original could not be saved or
    // the stand-in not copied.
    bool replace_with(const std::wstring& stand_in);
    // Takes the program away: no file of its name is left in the system folder.
    bool remove();
    // Puts the original back; true when it is in its place and no backup is left.
    bool restore();

private:
    bool save_original();

    std::wstring name_;
    std::wstring path_;
    std::wstring backup_;
    bool saved_ = false;
    RegistryValues load_order_;
};

}  // namespace tovalen::testing
