#include "control/core/resource_record.h"

#include <string>

#include "control/core/name_reader.h"

namespace ombrix::core {

namespace {

Error cut(std::size_t offset, const char* part) {
    return runtimeError(kSubscriptOutOfRange, "Subscript out of range: the reply ends inside " +
                                                  std::string(part) + " of the record at offset " +
                                                  std::to_string(offset));
}

}  // namespace

Expected<ResourceRecord> readRecord(ByteReader& reader) {
    ByteReader cursor = reader;
    const std::size_t offset = cursor.offset();
    auto owner = readName(cursor);
    if (!owner) {
        return owner.error();
    }
    const auto type = cursor.u16();
    const auto rrClass = cursor.u16();
    const auto ttl = cursor.u32();
    const auto length = cursor.u16();
    if (!type || !rrClass || !ttl || !length) {
        return cut(offset, "the fixed fields");
    }
    auto data = cursor.take(*length);
    if (!data) {
        return cut(offset, "the data");
    }
    reader = cursor;
    return ResourceRecord{offset, std::move(owner.value()), *type, *rrClass, *ttl, *data};
}

}  // namespace ombrix::core
