#pragma once

#include <optional>

#include "byte_reader.h"
#include "reply.h"
#include "ombrix/lookup/reply_signals.h"
#include "reply_fault.h"
#include "resource_record.h"

namespace ombrix::lookup {

// A reply carries at most one OPT record, in its additional section, owned by the root: the
// reply walk hands every answer and authority record to refuseOpt and every additional record
// to OptRecordReader, so no OPT escapes these rules.
Checked refuseOpt(const ResourceRecord& record);

// Steps past the record at the cursor, which must not be an OPT record.
Checked skipRecordRefusingOpt(ByteReader& reader);

// Reads the reply's OPT record from its additional section; other records pass untouched.
class OptRecordReader {
  public:
    Checked readAdditional(const ResourceRecord& record);
    // What the OPT said; its rcode holds only the upper bits until replySignals adds the
    // header's.
    std::optional<ReplyEdns>& edns() { return edns_; }

  private:
    std::optional<ReplyEdns> edns_;
};

// What a reply says about itself: the header's bits and the OPT record the walk found, its
// response code made whole with the header's four bits.
ReplySignals replySignals(const ReplyHeader& header, std::optional<ReplyEdns> edns);

// The reply's response code: the header's, widened by the OPT's when there is one.
inline std::uint16_t fullResponseCode(const ReplySignals& reply, const ReplyHeader& header) {
    return reply.edns ? reply.edns->rcode : header.rcode;
}

}  // namespace ombrix::lookup
