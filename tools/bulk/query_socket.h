#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "ombrix/lookup/server_address.h"
#include "ombrix/lookup/socket_handle.h"

namespace ombrix::tools {

// One UDP socket of the bulk lookup: connected to the server, so the kernel passes on only
// datagrams from the server's address and port, bound by the kernel to a random source port,
// and keeping which query owns each ID that is in flight on it. After kUseLimit queries it is
// retired: it sends no more and is closed once its last query is settled, so that an off-path
// sender never has long to guess the port.
class QuerySocket {
  public:
    static constexpr std::size_t kUseLimit = 20000;
    static constexpr std::int32_t kNoOwner = -1;

    // Opens and connects a socket; throws std::system_error when the system refuses.
    explicit QuerySocket(const lookup::ServerAddress& server);

    int fd() const { return socket_.fd(); }

    // A fresh ID for the owner, unique among the IDs in flight on this socket, drawn until
    // a free one comes up (the table stays far below full, as the window is far smaller).
    template <class Draw>
    std::uint16_t claimId(std::int32_t owner, Draw&& draw) {
        std::uint16_t id = draw();
        while (owners_[id] != kNoOwner) {
            id = draw();
        }
        owners_[id] = owner;
        ++claimed_;
        ++used_;
        return id;
    }
    void releaseId(std::uint16_t id);
    // The query that owns the ID, or kNoOwner.
    std::int32_t ownerOf(std::uint16_t id) const { return owners_[id]; }

    bool retired() const { return used_ >= kUseLimit; }
    bool idle() const { return claimed_ == 0; }

  private:
    lookup::SocketHandle socket_;
    std::vector<std::int32_t> owners_;
    std::size_t claimed_ = 0;
    std::size_t used_ = 0;
};

}  // namespace ombrix::tools
