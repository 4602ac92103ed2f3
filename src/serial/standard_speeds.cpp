#include "standard_speeds.h"

#include <algorithm>
#include <array>

namespace {

struct StandardSpeed {
    int baud;
    speed_t constant;
};

constexpr auto kStandardSpeeds = std::to_array<StandardSpeed>({
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000},
});

}  // namespace

std::optional<speed_t> termiosSpeed(int baud) {
    const auto it = std::find_if(kStandardSpeeds.begin(), kStandardSpeeds.end(),
                                 [baud](const StandardSpeed& s) { return s.baud == baud; });
    if (it == kStandardSpeeds.end())
        return std::nullopt;
    return it->constant;
}

bool isStandardSpeed(int baud) {
    return termiosSpeed(baud).has_value();
}
