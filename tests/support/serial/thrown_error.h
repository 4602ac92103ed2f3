#pragma once

#include "comm_error.h"

// The CommError that `call` throws; number 0 and no description when it throws none.
template <typename Call>
CommError errorOf(Call&& call) {
    try {
        call();
    } catch (const CommError& e) {
        return e;
    }
    return CommError(0, {});
}
