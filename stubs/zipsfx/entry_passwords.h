#pragma once
// The passwords of traditionally encrypted entries, settled before anything is written: the
// one from --password-file, else those the person types when asked. A password that opened
// one entry is tried first on the next, so an archive with one password asks once.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zipsfx/byte_source.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

// How often a person may type a wrong password for one entry before it is refused.
inline constexpr int kPasswordAttempts = 3;

// Asks for the password of the entry at `path` (printable); `again` says the last one typed
// was wrong. Nothing when the person gives none (quit, or the input ended).
using PasswordQuestion = std::function<std::optional<std::string>(const std::string& path, bool again)>;

class EntryPasswords {
public:
    // `given` is the password read from the file `given_from`: it alone is tried, and nobody
    // is asked. Without one, `ask` asks; when it is empty too, nobody can be asked.
    EntryPasswords(ByteSource& source, std::optional<std::string> given, std::string given_from, PasswordQuestion ask)
        : source_(source), given_(std::move(given)), given_from_(std::move(given_from)), ask_(std::move(ask)) {}

    // The password that opens the encrypted `entry`. Throws SfxError naming the entry when the
    // given password is wrong, when nobody can be asked (usage), when the person gives none
    // (cancelled), or after kPasswordAttempts wrong ones.
    const std::string& For(const ArchiveEntry& entry);

private:
    ByteSource& source_;
    std::optional<std::string> given_;
    std::string given_from_;
    PasswordQuestion ask_;
    std::vector<std::string> known_;
};

// The first line of the file at `path`, without its line end: the password. The file may be a
// pipe ("--password-file <(pass show x)"); "-" reads standard input. Throws SfxError (usage) naming the file and the
// reason when it cannot be read.
std::string ReadPasswordFile(const std::string& path);

}  // namespace kitforge::zipsfx
