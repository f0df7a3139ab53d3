#pragma once
// Helpers for the tests of multi-volume sets: source archives of a chosen size, a host that
// swaps disks at each prompt, and a check of every entry's position in a written set.

#include <string>
#include <vector>

#include "support/simulated_drive.h"
#include "zip/volume_names.h"
#include "zip_test_support.h"

namespace kitforge::testing {

// Bytes that do not repeat in any short pattern, different for each seed.
std::string NoiseBytes(std::size_t size, unsigned seed);

// An archive of stored entries "file1.bin", ... of the given sizes, written to `path`.
BuiltArchive WriteStoredArchive(const std::string& path, const std::vector<std::size_t>& sizes);

// A host that inserts the drive's next queued disk whenever it is asked to insert one, then
// answers from its queue.
class DiskSwappingHost : public ScriptedUiHost {
public:
    SimulatedDrive* drive = nullptr;
    Answer ShowMessage(MessageKind kind, std::string_view text, std::string_view caption, Buttons buttons,
                       std::optional<Answer> default_button = std::nullopt) override {
        if (buttons == Buttons::OkCancel && drive) drive->InsertNext();
        return ScriptedUiHost::ShowMessage(kind, text, caption, buttons, default_button);
    }
    std::vector<std::string> Prompts() const {
        std::vector<std::string> prompts;
        for (const auto& m : messages) {
            if (m.buttons == Buttons::OkCancel) prompts.push_back(m.text);
        }
        return prompts;
    }
};

// Where each entry of a set stands, as its central record says; checked against the volume
// files: the local header is there whole, with the entry's name.
struct PlacedEntry {
    std::string name;
    int disk = 0;
    std::uint32_t offset = 0;
};
// Reads the directory of a set through the component (`last_volume` is the file holding the
// end record; `volume_files[n]` is volume n) and checks every local header. Fails the test
// (and gives what it found) when a header is missing, split or misnamed.
std::vector<PlacedEntry> CheckSetPlacement(TZipMaster& zip, const std::string& last_volume,
                                           const std::vector<std::string>& volume_files);

}  // namespace kitforge::testing
