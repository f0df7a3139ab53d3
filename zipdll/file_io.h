#pragma once
// The library's file operations over the OS layer's File. Every failure throws IoFailure,
// "Cannot <action> <path>: <the system's own words>", the texts the library has always given.

#include <cstddef>
#include <cstdint>
#include <string>

#include "os/errors.h"
#include "os/file.h"

namespace zipdll {

using kitforge::File;
using IoFailure = kitforge::FileError;

// Throws IoFailure for a failure whose errno value is `code`.
[[noreturn]] void ThrowIoFailure(const std::string& action, const std::string& path, int code);

File OpenRead(const std::string& path);
// Creates a new file that must not exist yet.
File CreateNew(const std::string& path, unsigned mode = 0666);

std::uint64_t SizeOf(File& file);
// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
std::size_t ReadAt(File& file, void* data, std::size_t size, std::uint64_t offset);
// Reads exactly `size` bytes at `offset` or throws.
void ReadExactAt(File& file, void* data, std::size_t size, std::uint64_t offset);
// Writes every byte at the current position.
void WriteAll(File& file, const void* data, std::size_t size);
// Writes every byte at `offset`, leaving the position where it was.
void WriteAllAt(File& file, const void* data, std::size_t size, std::uint64_t offset);
std::uint64_t PositionOf(File& file);
void SeekTo(File& file, std::uint64_t offset);
void Truncate(File& file, std::uint64_t size);
void Sync(File& file);
void Close(File& file);

}  // namespace zipdll
