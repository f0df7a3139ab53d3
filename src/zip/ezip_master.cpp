#include "zip/ezip_master.h"

#include "zip/zip_messages.h"

namespace kitforge {

namespace {

// An id without a bound text shows the missing-text rule as it is: its line holds no
// directive to fill.
std::string Formatted(int id, MessageArgument argument) {
    const auto text = BoundMessageText(id);
    if (!text) return MissingMessageText(id);
    return FormatMessageText(*text, {std::move(argument)});
}

}  // namespace

EZipMaster::EZipMaster(int id, bool display)
    : Error(MessageTextOrMissing(id)), DisplayMessage(display), MessageId(id) {}

EZipMaster::EZipMaster(int id, int disk)
    : Error(Formatted(id, std::int64_t{disk})), DisplayMessage(true), MessageId(id) {}

EZipMaster::EZipMaster(int id, std::string_view drive)
    : Error(Formatted(id, std::string(drive))), DisplayMessage(true), MessageId(id) {}

}  // namespace kitforge
