#pragma once

#include <cstdio>
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

// Tells why the program stops when it is not in the test guest; true when it must stop.
inline bool refuseOutsideTestGuest(const char* program) {
    if (insideTestGuest())
        return false;
    std::fprintf(stderr,
                 "%s runs only inside the test virtual machine (boot line without %s); nothing "
                 "was opened.\n",
                 program, kGuestMarker);
    return true;
}
