// The zip library updates archives it did not write: its reader of an existing archive must
// take any bytes without crashing, and either give entries that lie inside the file or refuse
// the archive. The same bytes also go through the deflate block walker.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "deflate_block_walker.h"
#include "existing_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)zipdll::FindFinalBlock(std::span(data, size));

    int fd = memfd_create("archive", 0);
    if (fd < 0) return 0;
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        zipdll::ExistingArchive archive = zipdll::ReadExistingArchive(path);
        for (const zipdll::ExistingEntry& entry : archive.entries) {
            if (entry.local_offset + entry.extent > size || entry.local_offset < archive.prefix_size) std::abort();
        }
        if (archive.prefix_size > size) std::abort();
    } catch (const zipdll::ArchiveProblem&) {
    } catch (const zipdll::IoFailure&) {
    }
    close(fd);
    return 0;
}
