#pragma once

#include <QByteArray>

#include "check_report.h"

// The check as files for machines: a JSON document (its fields are listed in the manual
// page) and a JUnit XML test run with one test case a check.
QByteArray checkJson(const CheckReport& report);
QByteArray checkJUnit(const CheckReport& report);
