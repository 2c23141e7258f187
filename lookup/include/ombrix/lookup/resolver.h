#pragma once

#include <string>
#include <string_view>

#include "ombrix/lookup/error.h"
#include "ombrix/lookup/mx_store.h"
#include "ombrix/lookup/query_timing.h"

namespace ombrix::lookup {

// The lookup as a host uses it: a server setting that persists, one MX query at a time, and
// the result of the last query.
class MxResolver {
  public:
    MxResolver() = default;
    explicit MxResolver(QueryTiming timing) : timing_(timing) {}

    // "192.0.2.1", "192.0.2.1:5353", "ns.example", "ns.example:5353", "::1", "[::1]:5353".
    void setServer(std::string server) { server_ = std::move(server); }
    const std::string& server() const { return server_; }

    // Asks the server for the domain's MX records and returns how many exchangers were
    // stored, as decimal text. "0" without asking when the server or the domain is empty.
    Expected<std::string> query(std::string_view domain);

    const MxStore& store() const { return store_; }
    // Empties the result, as the start of every query does, without asking anything.
    void clearResult() { store_.reset(); }
    const QueryTiming& timing() const { return timing_; }

  private:
    QueryTiming timing_;
    std::string server_;
    MxStore store_;
};

}  // namespace ombrix::lookup
