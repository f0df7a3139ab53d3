#pragma once
// The checksum of an installer's payload: computed by the builder while it writes the payload,
// stored in the integrity block in front of it (formats/installer_integrity.h), and checked by
// the installer before it writes anything and by kitforge-cli inspect. One implementation for
// all three, so they cannot disagree about which bytes count.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "formats/installer_integrity.h"
#include "os/errors.h"
#include "payload/payload_reader.h"

namespace kitforge::payload {

// The hash the builder stores.
inline constexpr std::uint32_t kPayloadChecksumAlgorithm = formats::kIntegrityXxh3_128;

// Hashes bytes as they are written, in order.
class PayloadHasher {
public:
    PayloadHasher();
    ~PayloadHasher();
    PayloadHasher(const PayloadHasher&) = delete;
    PayloadHasher& operator=(const PayloadHasher&) = delete;

    void Update(const void* data, std::size_t size);
    std::uint64_t Count() const noexcept { return count_; }
    // The block for everything given to Update.
    formats::IntegrityBlock Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
    std::uint64_t count_ = 0;
};

struct ChecksumCheck {
    enum class Outcome {
        Absent,            // an older installer: there is nothing to check
        NotChecked,        // the stored checksum, not compared with the payload
        Matches,           // the payload is as built
        Differs,           // the payload's bytes changed
        WrongLength,       // the payload is not as long as when it was built
        UnknownAlgorithm,  // the block names a hash this program does not know
    };
    Outcome outcome = Outcome::Absent;
    std::string algorithm;  // its name, or "algorithm N" for an unknown one; empty when absent
    std::string stored;     // the stored digest in hexadecimal; empty when absent
    std::string computed;   // the digest of the payload as read; empty unless compared

    // The payload may be used: it matches, or there is nothing to compare it with.
    bool Passed() const noexcept { return outcome == Outcome::Absent || outcome == Outcome::Matches; }
};

struct ChecksumOptions {
    // Called once when the check has run for `slow_after`, so that a long check on a slow disk
    // can say what it is doing without a short one printing anything.
    std::function<void()> taking_long;
    std::chrono::milliseconds slow_after{1000};
};

// What the integrity block holds, without reading the payload: Absent, NotChecked or
// UnknownAlgorithm.
ChecksumCheck StoredChecksum(const Payload& payload);

// Reads the payload of `source` (as ReadPayload found it) and compares it with the stored
// checksum. Throws ReadError when the bytes cannot be read.
ChecksumCheck CheckPayloadChecksum(ByteSource& source, const Payload& payload, const ChecksumOptions& options = {});

// An installer whose payload does not match its checksum. The message names the file, says
// what does not match, and asks for a new download.
class DamagedInstallerError : public Error {
public:
    DamagedInstallerError(const std::string& path, const ChecksumCheck& check);
};

// CheckPayloadChecksum that throws DamagedInstallerError unless the check passed.
ChecksumCheck VerifyPayloadChecksum(ByteSource& source, const Payload& payload, const ChecksumOptions& options = {});

// One line for people: "XXH3-128 <hex>, matches", "none (built without one)", ...
std::string DescribeChecksum(const ChecksumCheck& check);

}  // namespace kitforge::payload
