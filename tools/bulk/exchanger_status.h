#pragma once

#include "ombrix/lookup/address_reply.h"

namespace ombrix::tools {

// What an exchanger's A and AAAA answers come to together: addresses from either win (through
// an alias if either went through one); without any, the answer that says most about why:
// a name that does not exist, then no reply, a failure code, a broken reply. No address is
// where it starts, so folding each answer into it in any order gives the same status.
lookup::AddressStatus combinedStatus(lookup::AddressStatus sofar, lookup::AddressStatus answer);

}  // namespace ombrix::tools
