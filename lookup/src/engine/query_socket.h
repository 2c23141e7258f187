#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/id_table.h"
#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/mx_result.h"
#include "ombrix/lookup/server_address.h"
#include "socket_handle.h"

namespace ombrix::lookup {

// One UDP socket of the engine: connected to the server, so the kernel passes on only
// datagrams from the server's address and port, bound by the kernel to a random source port,
// and keeping which lookup owns each ID that is in flight on it. After kUseLimit queries it is
// retired: it sends no more and is closed once its last query is settled, so that an off-path
// sender never has long to guess the port.
class QuerySocket {
  public:
    static constexpr std::size_t kUseLimit = 20000;
    static constexpr std::int32_t kNoOwner = IdTable::kNone;

    // Opens and connects a socket; a large receive buffer holds the replies of a wide window
    // that arrive while the engine is busy. A blocking socket (for one query at a time) lets
    // the wait for a reply happen in the receive itself; every other receive on it passes
    // MSG_DONTWAIT.
    static Expected<QuerySocket, Fault> open(const ServerAddress& server, bool largeBuffer,
                                             bool blocking);

    bool blocking() const { return blocking_; }

    int fd() const { return socket_.fd(); }

    // A fresh ID for the owner, unique among the IDs in flight on this socket, drawn until a
    // free one comes up (the table stays far below full, as the window is far smaller).
    template <class Draw>
    Expected<std::uint16_t, Fault> claimId(std::int32_t owner, Draw&& draw) {
        for (;;) {
            auto id = draw();
            if (!id) {
                return id;
            }
            if (owners_.insert(*id, owner)) {
                ++used_;
                return id;
            }
        }
    }
    void releaseId(std::uint16_t id) { owners_.erase(id); }
    // The lookup that owns the ID, or kNoOwner.
    std::int32_t ownerOf(std::uint16_t id) const { return owners_.find(id); }

    // The lookup that owns the only ID in flight, or kNoOwner: a datagram that names no
    // query in flight was heard while that one alone waited.
    std::int32_t soleOwner() const { return owners_.sole(); }

    bool retired() const { return used_ >= kUseLimit; }
    bool idle() const { return owners_.size() == 0; }

  private:
    QuerySocket(SocketHandle socket, bool blocking)
        : socket_(std::move(socket)), blocking_(blocking) {}

    SocketHandle socket_;
    bool blocking_ = false;
    IdTable owners_;
    std::size_t used_ = 0;
};

}  // namespace ombrix::lookup
