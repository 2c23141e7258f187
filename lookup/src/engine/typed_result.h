#pragma once

#include <cstdint>
#include <span>

#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/expected.h"
#include "ombrix/lookup/lookup_engine.h"

namespace ombrix::lookup {

// How a lookup ended: the reply that answers it (in the engine's receive room or the TCP
// exchange's buffer, read before either is reused), or why there is none.
using LookupEnding = Expected<std::span<const std::uint8_t>, Fault>;

// Each lookup's ending read into the result its kind promises; an MX result is written where
// it waits for its callback (a result as constructed), as it is the largest and the most often
// asked.
void readMxEnding(MxResult& result, LookupEnding ending, const WireName& qname, WireReport wire);
AddressAnswer addressAnswerOf(LookupEnding ending, const WireName& qname, std::uint16_t qtype,
                              WireReport wire);
RecordAnswer recordAnswerOf(LookupEnding ending, WireReport wire);

}  // namespace ombrix::lookup
