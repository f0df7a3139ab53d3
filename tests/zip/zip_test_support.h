#pragma once
// Inputs for the zip tests: archives made by Python's zipfile and Info-ZIP's zip (tools we did
// not write), a small hand builder for the archives those tools will not make (OEM names,
// odd host systems, multi-volume disks, broken records), and a component harness that
// records every message and directory update.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/scripted_ui_host.h"
#include "zip/zip_master.h"
#include "zip/zip_master_internals.h"

namespace kitforge::testing {

// Runs a Python 3 script and gives what it printed; throws with its error output when it fails.
std::string RunPython(const std::string& script);
// Runs a shell command and gives its exit status; its output goes to `output` when given.
int RunCommand(const std::string& command, std::string* output = nullptr);
// True when `program` is on the search path.
bool HaveProgram(const std::string& program);

// A Python string literal holding `bytes` exactly.
std::string PythonBytes(std::string_view bytes);

// Python's view of an archive's entries, one line per entry:
// "name|packed|unpacked|crc|offset|method|host|version|flags|needed|external|dos-date-time".
// The name is printed as bytes in hexadecimal.
std::vector<std::string> PythonEntryLines(const std::string& archive);
// The same line made from one of our entries, with its real (zip64) figures as Python gives them.
std::string EntryLine(const ZipDirEntry& entry, std::string_view stored_name);

std::uint32_t Crc32(std::string_view bytes);

struct BuilderEntry {
    std::string name;  // bytes as stored
    std::string data;  // stored uncompressed
    std::uint8_t host = 0;
    std::uint8_t version = 20;
    std::uint16_t flags = 0;
    std::string extra;
    std::string comment;
    std::uint32_t dos_date_time = 0x5A8B6000;  // 2025-04-11 12:00:00
};

// An entry with the given name, data, host system, version byte and flags.
inline BuilderEntry Stored(std::string name, std::string data = {}, std::uint8_t host = 0, std::uint8_t version = 20,
                           std::uint16_t flags = 0) {
    BuilderEntry entry;
    entry.name = std::move(name);
    entry.data = std::move(data);
    entry.host = host;
    entry.version = version;
    entry.flags = flags;
    return entry;
}

struct ArchiveOptions {
    std::string stub;                   // bytes in front of the archive
    bool offsets_include_stub = false;  // offsets count from the start of the file
    std::string comment;
    std::string trailing;  // bytes after the comment
};

// The parts of a built archive, for tests that cut or patch it at known places.
struct BuiltArchive {
    std::string bytes;
    std::size_t central_start = 0;             // position in `bytes`
    std::vector<std::size_t> central_entries;  // position of each central header in `bytes`
    std::size_t end_record = 0;                // position of the end record in `bytes`
};

BuiltArchive BuildArchive(const std::vector<BuilderEntry>& entries, const ArchiveOptions& options = {});

// A component with a scripted host that records messages (id and text) and directory updates.
struct ZipHarness {
    struct Report {
        int id;
        std::string text;
    };

    explicit ZipHarness(Volumes& volumes = SystemVolumes());

    // Assigns ZipFilename (which reads the directory).
    void Read(const std::string& path) { zip.SetZipFilename(path); }
    std::vector<int> Ids() const;
    // The component's private view of the archive and its drive, for checks of a single step.
    DirectoryState& Directory() { return ZipMasterInternals::Directory(zip); }

    ScriptedUiHost host;
    TZipMaster zip;
    std::vector<Report> reports;
    int dir_updates = 0;
};

}  // namespace kitforge::testing
