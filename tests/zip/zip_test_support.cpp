#include "zip_test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "formats/zip_records.h"
#include "support/temp_folder.h"

namespace kitforge::testing {

namespace {

void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}

std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
    std::string text;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    if (output) *output = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& program) { return RunCommand("command -v " + program + " >/dev/null") == 0; }

std::string RunPython(const std::string& script) {
    TempFolder folder;
    WriteBytes(folder / "script.py", script);
    const std::string command = "python3 " + folder / "script.py";
    FILE* pipe = ::popen((command + " 2>" + folder / "stderr.txt").c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run python3");
    std::string text;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("python3 failed: " + ReadBytes(folder / "stderr.txt"));
    }
    return text;
}

std::string PythonBytes(std::string_view bytes) { return "bytes.fromhex('" + Hex(bytes) + "')"; }

std::vector<std::string> PythonEntryLines(const std::string& archive) {
    const std::string out = RunPython(
        "import zipfile\n"
        "with zipfile.ZipFile(" +
        PythonBytes(archive) +
        ".decode()) as z:\n"
        "    for i in z.infolist():\n"
        "        raw = i.orig_filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')\n"
        "        d = i.date_time\n"
        "        dos = ((d[0] - 1980) << 25) | (d[1] << 21) | (d[2] << 16) | (d[3] << 11) | (d[4] << 5) | (d[5] // 2)\n"
        "        print('|'.join(str(x) for x in [raw.hex(), i.compress_size, i.file_size, i.CRC, i.header_offset,\n"
        "              i.compress_type, i.create_system, i.create_version, i.flag_bits, i.extract_version,\n"
        "              i.external_attr, dos]))\n");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('\n', start);
        lines.push_back(out.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::string EntryLine(const ZipDirEntry& e, std::string_view stored_name) {
    return Hex(stored_name) + "|" + std::to_string(e.PackedSize64) + "|" + std::to_string(e.UnpackedSize64) + "|" +
           std::to_string(e.Crc32) + "|" + std::to_string(e.LocalHeaderOffset64) + "|" + std::to_string(e.Method) +
           "|" + std::to_string(e.HostSystem) + "|" + std::to_string(e.SpecVersion) + "|" + std::to_string(e.Flags) +
           "|" + std::to_string(e.NeededVersion) + "|" + std::to_string(e.ExternalAttributes) + "|" +
           std::to_string(e.DosDateTime);
}

std::uint32_t Crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

BuiltArchive BuildArchive(const std::vector<BuilderEntry>& entries, const ArchiveOptions& options) {
    using namespace formats;
    BuiltArchive built;
    std::string& out = built.bytes;
    out = options.stub;
    const std::uint32_t base = options.offsets_include_stub ? 0 : static_cast<std::uint32_t>(options.stub.size());
    std::vector<std::uint32_t> offsets;
    for (const auto& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()) - base);
        Put32(out, kLocalHeaderSignature);
        Put16(out, 20);
        Put16(out, e.flags);
        Put16(out, kMethodStored);
        Put32(out, e.dos_date_time);
        Put32(out, Crc32(e.data));
        Put32(out, static_cast<std::uint32_t>(e.data.size()));
        Put32(out, static_cast<std::uint32_t>(e.data.size()));
        Put16(out, static_cast<std::uint16_t>(e.name.size()));
        Put16(out, static_cast<std::uint16_t>(e.extra.size()));
        out += e.name;
        out += e.extra;
        out += e.data;
    }
    built.central_start = out.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        built.central_entries.push_back(out.size());
        Put32(out, kCentralHeaderSignature);
        out += static_cast<char>(e.version);
        out += static_cast<char>(e.host);
        Put16(out, 20);
        Put16(out, e.flags);
        Put16(out, kMethodStored);
        Put32(out, e.dos_date_time);
        Put32(out, Crc32(e.data));
        Put32(out, static_cast<std::uint32_t>(e.data.size()));
        Put32(out, static_cast<std::uint32_t>(e.data.size()));
        Put16(out, static_cast<std::uint16_t>(e.name.size()));
        Put16(out, static_cast<std::uint16_t>(e.extra.size()));
        Put16(out, static_cast<std::uint16_t>(e.comment.size()));
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, 0x81A40000u);  // a regular file, rw-r--r--
        Put32(out, offsets[i]);
        out += e.name;
        out += e.extra;
        out += e.comment;
    }
    built.end_record = out.size();
    Put32(out, kEndRecordSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<std::uint16_t>(entries.size()));
    Put16(out, static_cast<std::uint16_t>(entries.size()));
    Put32(out, static_cast<std::uint32_t>(built.end_record - built.central_start));
    Put32(out, static_cast<std::uint32_t>(built.central_start) - base);
    Put16(out, static_cast<std::uint16_t>(options.comment.size()));
    out += options.comment;
    out += options.trailing;
    return built;
}

ZipHarness::ZipHarness(Volumes& volumes) : zip(host, volumes) {
    zip.OnMessage = [this](TZipMaster& sender, int err_code, const std::string& text) {
        EXPECT_EQ(&sender, &zip);
        EXPECT_EQ(err_code, 0);
        reports.push_back({sender.LastMessageId(), text});
    };
    zip.OnDirUpdate = [this](TZipMaster&) { ++dir_updates; };
}

std::vector<int> ZipHarness::Ids() const {
    std::vector<int> ids;
    for (const auto& r : reports) ids.push_back(r.id);
    return ids;
}

}  // namespace kitforge::testing
