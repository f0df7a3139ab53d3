#pragma once
// The one failure type of the stub. Its text is what the user reads after "zipsfx: ", so it
// names the file or entry concerned and the reason.

#include <stdexcept>
#include <string>

namespace kitforge::zipsfx {

// What went wrong, in the order of the stub's exit statuses.
enum class FailureKind {
    Damaged = 1,       // the archive or one of its entries cannot be read
    Usage = 2,         // the command line is wrong
    Cancelled = 3,     // the user chose to stop
    NoSpace = 4,       // the target has too little free space
    CommandFailed = 5  // the command run after extracting failed
};

class SfxError : public std::runtime_error {
public:
    explicit SfxError(const std::string& text, FailureKind kind = FailureKind::Damaged)
        : std::runtime_error(text), kind_(kind) {}
    FailureKind Kind() const noexcept { return kind_; }

private:
    FailureKind kind_;
};

}  // namespace kitforge::zipsfx
