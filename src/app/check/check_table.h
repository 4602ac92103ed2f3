#pragma once

#include <QString>

#include "check_report.h"

// The check's verdict for a terminal: a heading, one line a check (PASS or FAIL, what was
// expected, what was seen, milliseconds) and a closing line.
QString checkTable(const CheckReport& report);
