#include "termios_speed.h"

#include <algorithm>
#include <array>

#include "standard_speeds.h"

namespace {

struct TermiosSpeed {
    int baud;
    speed_t constant;
};

constexpr auto kTermiosSpeeds = std::to_array<TermiosSpeed>({
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000},
});

// Every speed the settings accept has its constant here, and no other.
constexpr bool coversTheStandardSpeeds() {
    return std::equal(kTermiosSpeeds.begin(), kTermiosSpeeds.end(), kStandardSpeeds.begin(),
                      kStandardSpeeds.end(),
                      [](const TermiosSpeed& s, int baud) { return s.baud == baud; });
}
static_assert(coversTheStandardSpeeds());

}  // namespace

std::optional<speed_t> termiosSpeed(int baud) {
    const auto it = std::find_if(kTermiosSpeeds.begin(), kTermiosSpeeds.end(),
                                 [baud](const TermiosSpeed& s) { return s.baud == baud; });
    if (it == kTermiosSpeeds.end())
        return std::nullopt;
    return it->constant;
}
