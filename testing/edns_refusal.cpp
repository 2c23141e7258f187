#include "testing/edns_refusal.h"

#include <utility>

#include "testing/query_view.h"
#include "testing/reply_builder.h"

namespace ombrix::testing {

ScriptedDnsServer::Script refusingEdns(std::uint8_t rcode, ScriptedDnsServer::Script plain) {
    return [rcode, plain = std::move(plain)](const Bytes& query, Responder& out) {
        const QueryView asked = readQuery(query);
        if (!asked.edns) {
            plain(query, out);
            return;
        }
        out.send(withResponseCode(ReplyBuilder(asked.name, asked.id, asked.type).bytes(), rcode));
    };
}

}  // namespace ombrix::testing
