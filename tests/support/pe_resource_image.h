#pragma once
// A small PE image made in memory: the headers and one section ".rsrc" whose resource tree
// holds version resources, laid out by hand after the published PE layout.

#include <cstdint>
#include <utility>
#include <vector>

namespace kitforge::testing {

struct PeOptions {
    bool pe32_plus = false;
    // The names of the version resources, each with its own block; the first language only.
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> resources;
    bool with_resource_directory = true;
};

// A PE image with one section ".rsrc" holding a three-level resource tree of type 16. The
// optional header's CheckSum is 0x12345678, so that a writer can be seen to change it.
std::vector<std::uint8_t> MakePe(const PeOptions& options);

}  // namespace kitforge::testing
