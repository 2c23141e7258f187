#include "host_resolution.h"

#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace ombrix::lookup {
namespace {

const std::string kTimeRanOut = "no answer before the lookup's time ran out";

// One asynchronous request; the system writes into it until it completes, so it must live
// until then even when nobody waits for it any more.
struct Request {
    explicit Request(const std::string& name) : host(name) {
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        control.ar_name = host.c_str();
        control.ar_request = &hints;
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    ~Request() {
        if (control.ar_result != nullptr) {
            freeaddrinfo(control.ar_result);
        }
    }

    bool finished() { return gai_error(&control) != EAI_INPROGRESS; }

    std::string host;
    addrinfo hints{};
    gaicb control{};
};

// Requests given up on before they finished, freed once they have. Never destroyed, so that
// a request still running at exit or unload is not freed under the system's feet.
class Abandoned {
  public:
    static Abandoned& instance() {
        static auto* abandoned = new Abandoned;
        return *abandoned;
    }

    void keep(std::unique_ptr<Request> request) {
        const std::lock_guard lock(mutex_);
        reap();
        requests_.push_back(std::move(request));
    }

  private:
    void reap() {
        std::erase_if(requests_, [](const auto& request) { return request->finished(); });
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<Request>> requests_;
};

// Waits for the request until the deadline; true when it finished in time.
bool awaitWithin(Request& request, Clock::time_point deadline) {
    const gaicb* list[] = {&request.control};
    while (!request.finished()) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return false;
        }
        const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
        gai_suspend(list, 1, &timeout);
    }
    return true;
}

}  // namespace

Expected<SocketAddress, std::string> resolveHostWithin(const std::string& host,
                                                       Clock::time_point deadline) {
    if (Clock::now() >= deadline) {
        return Unexpected(kTimeRanOut);
    }
    auto request = std::make_unique<Request>(host);
    gaicb* list[] = {&request->control};
    if (const int status = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr); status != 0) {
        return Unexpected(std::string(gai_strerror(status)));
    }
    if (!awaitWithin(*request, deadline)) {
        if (gai_cancel(&request->control) == EAI_NOTCANCELED) {
            Abandoned::instance().keep(std::move(request));
        }
        return Unexpected(kTimeRanOut);
    }
    const int status = gai_error(&request->control);
    const addrinfo* found = request->control.ar_result;
    if (status != 0 || found == nullptr) {
        return Unexpected(std::string(status != 0 ? gai_strerror(status) : "no address"));
    }
    return addressIn(*found);
}

SocketAddress addressIn(const addrinfo& entry) {
    SocketAddress address;
    address.length = std::min<socklen_t>(entry.ai_addrlen, sizeof address.address);
    std::memcpy(&address.address, entry.ai_addr, address.length);
    return address;
}

}  // namespace ombrix::lookup
