#include "error_info.h"

#include <new>
#include <stdexcept>

#include "comm_error.h"

namespace {
// Numbers for failures that do not come with one of their own.
constexpr int kOutOfMemory = 7;
constexpr int kOverflow = 6;
constexpr int kInternalError = 51;
}  // namespace

ErrorInfo currentErrorInfo() {
    try {
        throw;
    } catch (const CommError& e) {
        return {e.number(), e.description()};
    } catch (const std::bad_alloc&) {
        return {kOutOfMemory, QStringLiteral("Out of memory")};
    } catch (const std::overflow_error& e) {
        return {kOverflow, QString::fromStdString(e.what())};
    } catch (const std::exception& e) {
        return {kInternalError, QString::fromStdString(e.what())};
    } catch (...) {
        return {kInternalError, QStringLiteral("Unknown internal error")};
    }
}
