#include "ombrix/lookup/query_id.h"

#include <sys/random.h>

#include <cerrno>
#include <system_error>

namespace ombrix::lookup {

Expected<std::uint16_t, Fault> randomQueryId() {
    std::uint16_t id = 0;
    for (;;) {
        ssize_t got = ::getrandom(&id, sizeof id, 0);
        if (got == static_cast<ssize_t>(sizeof id)) {
            return id;
        }
        if (got < 0 && errno != EINTR) {
            return Unexpected(
                Fault{Fault::Kind::sendFailed,
                      "Cannot draw a random query ID: " + std::generic_category().message(errno)});
        }
    }
}

}  // namespace ombrix::lookup
