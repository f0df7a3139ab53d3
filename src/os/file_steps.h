#pragma once
// The one-call steps under File's reads and writes, one per system (file_posix.cpp,
// file_win32.cpp); the loops that repeat them until every byte has moved are written once in
// file_common.cpp. Not for use outside the OS layer.

#include <cstddef>
#include <cstdint>

namespace kitforge::file_steps {

// Reads at most `size` bytes from `fd`: at `*offset`, leaving the position as it was, or at the
// position when `offset` is null. Gives the count (0 at the end of the file), or -1 with the
// errno value in `error`. An interrupted call is repeated.
std::int64_t Read(int fd, void* data, std::size_t size, const std::uint64_t* offset, int& error);
// The same for writing.
std::int64_t Write(int fd, const void* data, std::size_t size, const std::uint64_t* offset, int& error);

}  // namespace kitforge::file_steps
