#pragma once

#include <chrono>

namespace ombrix::lookup {

// How long one query may take: each try waits at most perTry for its reply.
struct QueryTiming {
    std::chrono::milliseconds perTry{2000};
    int tries = 3;
};

}  // namespace ombrix::lookup
