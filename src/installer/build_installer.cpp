#include "installer/build_installer.h"

#include <exception>

#include "formats/installer_integrity.h"
#include "formats/installer_payload.h"
#include "installer/installer_version_block.h"
#include "installer/line_list.h"
#include "installer/output_hasher.h"
#include "installer/output_clash.h"
#include "model/command_text.h"
#include "model/text_encoding.h"
#include "os/errors.h"
#include "os/file.h"
#include "os/native_path.h"
#include "platform/ini_profile.h"
#include "platform/paths.h"
#include "os/safe_file_writer.h"

namespace kitforge {

namespace {

constexpr std::string_view kRecordsFailed = "There was an error building the install file.\n\n";

// A length or count as the payload stores it: 32 bits, and below 2^31 because the machines
// that read it take it as signed.
std::uint32_t StoredNumber(std::uint64_t value, const std::string& what) {
    if (value > formats::kPayloadMaxNumber) {
        throw Error(what + " is too large for an installer (" + std::to_string(value) +
                    " bytes; the limit is 2147483647)");
    }
    return static_cast<std::uint32_t>(value);
}

// A file's size as the payload stores it: the short form below 2 GiB, the long form above,
// up to the largest file an installer holds.
formats::StoredFileSize StoredSize(std::uint64_t size, const std::string& source) {
    if (size > formats::kPayloadMaxFileSize) {
        throw Error(source + " is too large for an installer (" + std::to_string(size) + " bytes; the limit is " +
                    std::to_string(formats::kPayloadMaxFileSize) + ")");
    }
    return formats::EncodeFileSize(size);
}

// Every byte of the payload goes through here, so that the checksum covers exactly what is
// written: each write tells the hasher how far the file is complete.
class PayloadOutput {
public:
    PayloadOutput(File& file, std::uint64_t start) : file_(file), written_(start), hasher_(file, start) {}

    void Write(const void* data, std::size_t size) {
        file_.WriteAll(data, size);
        hasher_.Written(written_ += size);
    }
    void Write(std::string_view text) { Write(text.data(), text.size()); }

    void Copy(File& from, std::uint64_t count, CopyOptions options) {
        const std::uint64_t base = written_;
        options.between_chunks = [this, base, report = options.between_chunks](std::uint64_t copied) {
            hasher_.Written(base + copied);
            if (report) report(copied);
        };
        CopyExactly(from, file_, count, options);
        hasher_.Written(written_ += count);
    }

    formats::IntegrityBlock Finish() { return hasher_.Finish(written_); }

private:
    File& file_;
    std::uint64_t written_;
    OutputHasher hasher_;
};

void WriteNumber(PayloadOutput& output, std::uint32_t value) {
    const auto bytes = formats::PayloadNumber(value);
    output.Write(bytes.data(), bytes.size());
}

// Bytes followed by their count.
void WriteCountedText(PayloadOutput& output, std::string_view text, const std::string& what) {
    const std::uint32_t length = StoredNumber(text.size(), what);
    output.Write(text);
    WriteNumber(output, length);
}

// A Windows stub's version block is replaced by the installer's own; an ELF stub is copied
// as it is.
void CopyStub(File& output, const std::string& stub_path, const InstallerIdentity& identity, const CopyOptions& copy) {
    File stub = File::OpenRead(stub_path);
    const auto version_patch = PlanInstallerVersionBlock(stub, identity);
    const std::int64_t size = stub.Size();
    if (size < 0) throw ReadError("read", stub_path, stub.LastError());
    CopyExactly(stub, output, static_cast<std::uint64_t>(size), copy);
    if (version_patch) WriteInstallerVersionBlock(output, *version_patch);
}

// Version information holds UTF-16: a text of a script saved in code page 1252 on Windows is
// read as such, as the editor reads it, instead of becoming replacement characters.
std::string InfoText(const IniProfile& profile, std::string_view key) {
    std::string text = profile.String(kInfoSection, key);
    return IsUtf8Text(text) ? text : Windows1252ToUtf8(text);
}

InstallerIdentity IdentityOf(const IniProfile& profile, const std::string& output_path) {
    return {InfoText(profile, "title"), FileNamePart(output_path), InfoText(profile, "version"),
            InfoText(profile, "publisher")};
}

// Room for the integrity block after the stub, filled in once the payload behind it is written
// and hashed. Gives where the block starts. The room is skipped, not written: each byte of the
// installer is then written once, so a disk with room for the installer has room for its build.
std::uint64_t ReserveIntegrityBlock(File& output) {
    const std::int64_t at = output.Position();
    if (at < 0 || output.Seek(static_cast<std::int64_t>(formats::kIntegrityBlockSize), File::Whence::Current) < 0) {
        throw InOutError("write", output.Path(), output.LastError());
    }
    return static_cast<std::uint64_t>(at);
}

void WriteIntegrityBlock(File& output, std::uint64_t at, const formats::IntegrityBlock& block) {
    const formats::IntegrityBlockBytes bytes = formats::EncodeIntegrityBlock(block);
    if (output.WriteAt(bytes.data(), bytes.size(), at) != bytes.size()) {
        throw InOutError("write", output.Path(), output.LastError());
    }
}

// Contents, size, name, name length. The size is taken once, before the copy, and the copy
// must yield exactly that many bytes, so the stored size always matches the bytes before it.
void WriteFileRecord(PayloadOutput& output, const std::string& source, const CopyOptions& copy) {
    if (!FileExists(source)) throw Error("File not found: " + DisplayPath(source));
    File file = File::OpenRead(source);
    const std::int64_t size = file.Size();
    if (size < 0) throw ReadError("read", source, file.LastError());
    const formats::StoredFileSize stored_size = StoredSize(static_cast<std::uint64_t>(size), source);
    output.Copy(file, static_cast<std::uint64_t>(size), copy);
    output.Write(stored_size.bytes.data(), stored_size.length);
    WriteCountedText(output, FileNamePart(source), "The name of " + source);
}

void WriteFileRecords(UiHost& host, PayloadOutput& output, const std::vector<std::string>& lines,
                      const std::string& script_folder, const BuildOptions& options) {
    const std::vector<std::string> sources = SourcePaths(lines, script_folder);
    std::uint32_t written = 0;
    for (auto source = sources.rbegin(); source != sources.rend(); ++source) {
        if (options.report_progress) host.ShowProgress("Adding " + DisplayPath(*source), written, sources.size());
        WriteFileRecord(output, *source, options.copy);
        ++written;
    }
    WriteNumber(output, StoredNumber(written, "The number of files"));
}

// An EXTRACT line is stored with its command word in capitals, the bare file name of its
// source and its target as written (folder macros left in place), without quotes; every
// other line is stored exactly as read. The name is taken after "%apppath%" is expanded,
// like the name of the file record: the two always agree, also for a source written as
// "%apppath%a.txt" without a separator after the token, whose unexpanded name part would
// be "%apppath%a.txt".
std::string StoredLine(const std::string& line, const std::string& script_folder) {
    if (!formats::IsExtractLine(line)) return line;
    return std::string(formats::kExtractWord) + FileNamePart(ExpandAppPath(QuotedParameter(line, 1), script_folder)) +
           " " + QuotedParameter(line, 2);
}

void WriteLineRecords(PayloadOutput& output, const std::vector<std::string>& lines, const std::string& script_folder) {
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        WriteCountedText(output, StoredLine(*line, script_folder), "A script line");
    }
    WriteNumber(output, StoredNumber(lines.size(), "The number of script lines"));
}

void WritePromptTitleAndMark(PayloadOutput& output, const IniProfile& profile) {
    WriteCountedText(output, profile.String(kInfoSection, "prompt"), "The prompt");
    WriteCountedText(output, profile.String(kInfoSection, "title"), "The title");
    output.Write(formats::kPayloadMark.data(), formats::kPayloadMark.size());
}

void DeleteGroupExecutables(const std::string& script_folder, std::size_t groups) {
    for (std::size_t i = 0; i < groups; ++i) {
        const std::string executable = script_folder + "!install" + std::to_string(i) + ".exe";
        if (FileExists(executable)) DeleteFile(executable);
    }
}

}  // namespace

bool BuildInstaller(UiHost& host, const std::string& output_path, const std::string& stub_path,
                    const std::string& script_path, const BuildOptions& options) {
    if (!FileExists(script_path)) {
        host.Fail(DisplayPath(script_path) + " not found.");
        return false;
    }
    const std::string script_folder = FolderPart(script_path);
    const IniProfile profile = IniProfile::Read(script_path);
    std::vector<std::string> lines = ReadLineList(profile);
    std::vector<std::string> inputs = SourcePaths(lines, script_folder);

    std::size_t groups = 0;
    if (IsCompressedBuild(profile)) {
        groups = options.compressed_groups
                     ? options.compressed_groups(lines, script_path)
                     : MakeCompressedGroups(host, lines, script_path,
                                            options.program_folder.empty() ? ProgramFolder() : options.program_folder);
        // The group executables are read into the installer as well.
        for (auto& source : SourcePaths(lines, script_folder)) inputs.push_back(std::move(source));
    }

    RefuseOutputThatIsAnInput(output_path, stub_path, script_path, inputs);
    // The installer is written under a new temporary name beside the output and renamed into
    // place only when complete: whatever is found at the output name (a link planted in a
    // shared folder, say) is never opened or followed, and a failed build leaves no part of an
    // installer there, which a user or a script that does not read the messages would take for
    // a whole one. An installer is a program: it is executable as the umask allows, like the
    // output of a linker.
    ReplacementFile output(output_path, 0777);
    output.Write([&](File& file) { CopyStub(file, stub_path, IdentityOf(profile, output_path), options.copy); });

    try {
        output.Write([&](File& file) {
            const std::uint64_t block_at = ReserveIntegrityBlock(file);
            PayloadOutput payload(file, block_at + formats::kIntegrityBlockSize);
            WriteFileRecords(host, payload, lines, script_folder, options);
            WriteLineRecords(payload, lines, script_folder);
            WritePromptTitleAndMark(payload, profile);
            WriteIntegrityBlock(file, block_at, payload.Finish());
        });
        output.Commit();
    } catch (const std::exception& e) {
        host.Warn(std::string(kRecordsFailed) + e.what());
        return false;
    }
    DeleteGroupExecutables(script_folder, groups);
    return true;
}

}  // namespace kitforge
