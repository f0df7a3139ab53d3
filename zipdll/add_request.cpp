#include "add_request.h"

#include <cstring>

namespace zipdll {

namespace {

constexpr int kMaxSpecs = 1 << 20;
constexpr std::size_t kMaxPassword = ZIPDLL_PASSWORD_CAPACITY - 1;

bool Flag(std::int32_t value) { return value != ZIPDLL_FALSE; }

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

AddRequest DecodeCallHeader(const ZipCallHeader& header) {
    AddRequest request;
    request.window = header.window;
    request.caller = header.caller;
    request.callback = header.callback;
    return request;
}

AddRequest DecodeCallRecord(const ZipCallRecord& record) {
    const ZipCallHeader& header = record.header;
    AddRequest request = DecodeCallHeader(header);
    if (header.record_version != ZIPDLL_RECORD_VERSION || record.seal != ZIPDLL_RECORD_SEAL)
        throw BadCallRecord("The call record has an unknown layout (record version " +
                            std::to_string(header.record_version) + ")");
    request.archive = Text(header.archive_name);
    if (request.archive.empty()) throw BadCallRecord("The call record names no archive");
    if (header.spec_count < 0 || header.spec_count > kMaxSpecs)
        throw BadCallRecord("The call record holds " + std::to_string(header.spec_count) + " file specifications");
    if (header.spec_count > 0 && record.specs == nullptr)
        throw BadCallRecord("The call record has no file-specification array");
    for (int i = 0; i < header.spec_count; ++i) {
        std::string spec = Text(record.specs[i].spec);
        if (!spec.empty()) request.specs.push_back(std::move(spec));
    }
    if (header.password != nullptr) request.password.assign(header.password, strnlen(header.password, kMaxPassword));
    request.temp_dir = Text(record.temp_dir);

    // Levels outside 0 to 9 mean the strongest, which is also the component's default.
    request.level = header.compression_level >= 0 && header.compression_level <= 9 ? header.compression_level : 9;
    request.trace = Flag(header.trace);
    request.verbose = Flag(header.verbose) || request.trace;
    request.encrypt = Flag(header.encrypt);
    request.hidden_files = Flag(header.hidden_files);
    request.directory_entries = !Flag(header.no_directory_entries);
    request.keep_directory_names = !Flag(header.junk_directory_names);
    request.recurse = header.recurse != 0;
    request.force_dos = Flag(header.force_dos);
    request.move = Flag(header.move);
    request.update = Flag(header.update);
    request.freshen = Flag(header.freshen) && !request.update;
    request.zip_time = Flag(header.zip_time);
    return request;
}

}  // namespace zipdll
