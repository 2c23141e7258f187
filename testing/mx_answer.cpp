#include "testing/mx_answer.h"

#include <utility>

namespace ombrix::testing {

Bytes mxReply(const QueryView& asked, const std::vector<Mx>& records) {
    ReplyBuilder reply(asked.name, asked.id);
    for (const Mx& record : records) {
        reply.mx(record.preference, name(record.exchange));
    }
    return reply.bytes();
}

Bytes mxReply(const Bytes& query, const std::vector<Mx>& records) {
    return mxReply(readQuery(query), records);
}

ScriptedDnsServer::Script answering(std::vector<Mx> records) {
    return [records = std::move(records)](const Bytes& query, Responder& out) {
        out.send(mxReply(query, records));
    };
}

}  // namespace ombrix::testing
