#pragma once
// Turns the file specifications of a call into the list of files and folders to add, with the
// name each gets in the archive. A specification names a file, a folder, or a pattern with "*"
// and "?" in its last part. Folders are entered only with recursion; with recursion a pattern
// is matched in its folder and in every folder below. Hidden entries (names starting with ".")
// are left out of patterns and recursion unless asked for; a file named explicitly is always
// taken. Anything that cannot be taken is reported and skipped; the rest goes on.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "file_system.h"
#include "progress_reporter.h"

namespace zipdll {

struct SourceItem {
    std::string path;  // where to read it
    std::string name;  // the stored name, with "/" separators; folders end in "/"
    bool is_directory = false;
    std::uint64_t size = 0;
    std::time_t mtime = 0;
    std::uint32_t mode = 0;
    bool writable = true;
};

struct CollectOptions {
    bool recurse = false;
    bool hidden_files = false;
    bool keep_directory_names = false;
    bool directory_entries = false;
    // Files never to take: the archive being written, for one.
    std::vector<FileIdentity> excluded;
};

std::vector<SourceItem> CollectSources(const std::vector<std::string>& specs, const CollectOptions& options,
                                       ProgressReporter& reporter);

// The name stored for a path when folder names are kept: separators become "/", and a drive
// letter, leading separators and "." and ".." parts are dropped, so that no stored name can
// point outside the folder it is extracted into.
std::string StoredPathName(const std::string& path);

}  // namespace zipdll
