#include "payload/payload_checksum.h"

#include <algorithm>

#include "formats/xxh3_digest.h"
#include "payload/read_ahead.h"

namespace kitforge::payload {

namespace {

using formats::IntegrityBlock;

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string AlgorithmName(std::uint32_t algorithm) {
    const std::string_view name = formats::IntegrityAlgorithmName(algorithm);
    return name.empty() ? "algorithm " + std::to_string(algorithm) : std::string(name);
}

// The payload's bytes through the hasher, read in a thread beside it so that reading and
// hashing overlap.
IntegrityBlock HashPayload(ByteSource& source, const Payload& payload, const ChecksumOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    bool told = false;
    PayloadHasher hasher;
    ReadAhead pieces(source, payload.payload_offset, payload.payload_end);
    for (auto piece = pieces.Next(); !piece.empty(); piece = pieces.Next()) {
        hasher.Update(piece.data(), piece.size());
        if (!told && options.taking_long && std::chrono::steady_clock::now() - started >= options.slow_after) {
            told = true;
            options.taking_long();
        }
    }
    return hasher.Finish();
}

}  // namespace

struct PayloadHasher::State {
    formats::Xxh3_128Stream stream;
};

PayloadHasher::PayloadHasher() : state_(std::make_unique<State>()) {}
PayloadHasher::~PayloadHasher() = default;

void PayloadHasher::Update(const void* data, std::size_t size) {
    state_->stream.Update(data, size);
    count_ += size;
}

IntegrityBlock PayloadHasher::Finish() {
    const formats::Xxh3_128Digest digest = state_->stream.Digest();
    IntegrityBlock block;
    block.algorithm = kPayloadChecksumAlgorithm;
    block.covered = count_;
    std::copy(digest.begin(), digest.end(), block.digest.begin());
    return block;
}

ChecksumCheck StoredChecksum(const Payload& payload) {
    ChecksumCheck check;
    if (!payload.integrity) return check;
    const IntegrityBlock& stored = *payload.integrity;
    check.algorithm = AlgorithmName(stored.algorithm);
    const std::size_t digest_size = formats::IntegrityDigestSize(stored.algorithm);
    check.stored = Hex(stored.digest.data(), digest_size == 0 ? stored.digest.size() : digest_size);
    check.outcome = digest_size == 0 || stored.algorithm != kPayloadChecksumAlgorithm
                        ? ChecksumCheck::Outcome::UnknownAlgorithm
                        : ChecksumCheck::Outcome::NotChecked;
    return check;
}

ChecksumCheck CheckPayloadChecksum(ByteSource& source, const Payload& payload, const ChecksumOptions& options) {
    ChecksumCheck check = StoredChecksum(payload);
    if (check.outcome != ChecksumCheck::Outcome::NotChecked) return check;
    const IntegrityBlock& stored = *payload.integrity;
    const std::size_t digest_size = formats::IntegrityDigestSize(stored.algorithm);
    if (stored.covered != payload.payload_end - payload.payload_offset) {
        check.outcome = ChecksumCheck::Outcome::WrongLength;
        return check;
    }
    const IntegrityBlock computed = HashPayload(source, payload, options);
    check.computed = Hex(computed.digest.data(), digest_size);
    // The unused end of the digest field is part of what the builder wrote: zeros.
    check.outcome =
        computed.digest == stored.digest ? ChecksumCheck::Outcome::Matches : ChecksumCheck::Outcome::Differs;
    return check;
}

namespace {

std::string DamageText(const ChecksumCheck& check) {
    switch (check.outcome) {
        case ChecksumCheck::Outcome::WrongLength:
            return "it is not as long as when it was built (cut short or extended)";
        case ChecksumCheck::Outcome::UnknownAlgorithm:
            return "its checksum block names a checksum this installer does not know (" + check.algorithm + ")";
        default: return "its contents do not match the checksum stored when it was built";
    }
}

}  // namespace

DamagedInstallerError::DamagedInstallerError(const std::string& path, const ChecksumCheck& check)
    : Error(path + " is damaged: " + DamageText(check) + "; download it again") {}

ChecksumCheck VerifyPayloadChecksum(ByteSource& source, const Payload& payload, const ChecksumOptions& options) {
    ChecksumCheck check = CheckPayloadChecksum(source, payload, options);
    if (!check.Passed()) throw DamagedInstallerError(source.Name(), check);
    return check;
}

std::string DescribeChecksum(const ChecksumCheck& check) {
    switch (check.outcome) {
        case ChecksumCheck::Outcome::Absent: return "none (built without one)";
        case ChecksumCheck::Outcome::NotChecked: return check.algorithm + " " + check.stored + ", not checked";
        case ChecksumCheck::Outcome::Matches: return check.algorithm + " " + check.stored + ", matches";
        case ChecksumCheck::Outcome::Differs:
            return check.algorithm + " " + check.stored + ", DOES NOT MATCH (the payload gives " + check.computed + ")";
        case ChecksumCheck::Outcome::WrongLength:
            return check.algorithm + " " + check.stored + ", DOES NOT MATCH (the payload's length differs)";
        case ChecksumCheck::Outcome::UnknownAlgorithm: break;
    }
    return check.algorithm + " " + check.stored + ", not checked (unknown algorithm)";
}

}  // namespace kitforge::payload
