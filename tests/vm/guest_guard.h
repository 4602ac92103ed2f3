#pragma once

#include <fstream>
#include <sstream>
#include <string>

// The guest programs drive /dev/ttyS1 and the machine's debug-exit port. On a real machine
// ttyS1 may be anyone's port, so they run only where the virtual machine's boot line marks
// the system as the test guest.
inline constexpr const char* kGuestMarker = "quillmark_vm=1";

inline bool insideTestGuest() {
    std::ifstream cmdline("/proc/cmdline");
    if (!cmdline)
        return false;
    std::stringstream text;
    text << cmdline.rdbuf();
    std::istringstream words(text.str());
    std::string word;
    while (words >> word) {
        if (word == kGuestMarker)
            return true;
    }
    return false;
}
