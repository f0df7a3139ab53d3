#include "zipsfx/entry_passwords.h"

#include <cstdio>

#include "os/errors.h"
#include "os/file.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/entry_reader.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

// More than any password; a file that long is not a password file.
constexpr std::size_t kLongestLine = 64 * 1024;

}  // namespace

const std::string& EntryPasswords::For(const ArchiveEntry& entry) {
    // Not "\"" + text: GCC 12 at -O3 warns falsely (-Wrestrict) on that.
    std::string name = Printable(entry.stored_name);
    name.insert(name.begin(), '"');
    name += '"';
    if (given_) {
        if (PasswordOpens(source_, entry, *given_)) return *given_;
        throw SfxError("the password in " + Printable(given_from_) + " is wrong for " + name);
    }
    for (const std::string& known : known_) {
        if (PasswordOpens(source_, entry, known)) return known;
    }
    if (!ask_) {
        throw SfxError(name + " is encrypted and --silent asks nothing: give its password with --password-file FILE",
                       FailureKind::Usage);
    }
    for (int attempt = 0; attempt < kPasswordAttempts; ++attempt) {
        std::optional<std::string> password = ask_(Printable(entry.stored_name), attempt > 0);
        if (!password) throw SfxError("no password was given for " + name, FailureKind::Cancelled);
        if (PasswordOpens(source_, entry, *password)) {
            known_.push_back(std::move(*password));
            return known_.back();
        }
    }
    throw SfxError("refusing to extract " + name + ": the password was wrong " + std::to_string(kPasswordAttempts) +
                   " times");
}

namespace {

// The first line of standard input, for "--password-file -" as kitforge-cli add takes it.
std::string FirstLineOfInput() {
    std::string line;
    for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin)) {
        line += static_cast<char>(c);
        if (line.size() > kLongestLine) {
            throw SfxError("cannot use the password from standard input: its first line is longer than " +
                               std::to_string(kLongestLine) + " bytes",
                           FailureKind::Usage);
        }
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

std::string ReadPasswordFile(const std::string& path) {
    if (path == "-") return FirstLineOfInput();
    int error = 0;
    auto file = File::TryOpen(path, File::Access::Read, 0666, &error);
    if (!file)
        throw SfxError("cannot open the password file " + PrintablePath(path) + ": " + SystemReason(error),
                       FailureKind::Usage);
    if (file->IsFolder())
        throw SfxError("cannot read the password file " + PrintablePath(path) + ": it is a folder", FailureKind::Usage);
    std::string line;
    char buffer[4096];
    for (;;) {
        const std::size_t got = file->Read(buffer, sizeof buffer);
        if (got == 0) {
            if (file->LastError() != 0) {
                throw SfxError(
                    "cannot read the password file " + PrintablePath(path) + ": " + SystemReason(file->LastError()),
                    FailureKind::Usage);
            }
            break;
        }
        line.append(buffer, got);
        const std::size_t end = line.find('\n');
        if (end != std::string::npos) {
            line.resize(end);
            break;
        }
        if (line.size() > kLongestLine) {
            throw SfxError("cannot use the password file " + PrintablePath(path) + ": its first line is longer than " +
                               std::to_string(kLongestLine) + " bytes",
                           FailureKind::Usage);
        }
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace kitforge::zipsfx
