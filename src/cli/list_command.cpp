// kitforge-cli list ZIP: reads an archive's directory through the zip component, unattended,
// and prints its entries and the figures the component keeps about the file; --json prints
// the same as JSON. The component's messages go to stderr (and into the JSON). Names and
// comments come from whoever made the archive: the listing shows their control characters as
// "?", so a name cannot rewrite the terminal or hide a line; the JSON keeps them exactly.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>

#include "cli/commands.h"
#include "cli/json_stream.h"
#include "formats/zip_entry_names.h"
#include "model/text_encoding.h"
#include "os/errors.h"
#include "os/file.h"
#include "platform/printable_text.h"
#include "zip/volume_names.h"
#include "zip/zip_master.h"

namespace kitforge::cli {

namespace {

struct ListArguments {
    std::string archive;
    bool json = false;
};

struct Report {
    int id;
    std::string text;
};

bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        }
        i += length;
    }
    return true;
}

// Names converted from an OEM code page are in code page 1252; names from other systems are
// usually UTF-8 already. The terminal and JSON want UTF-8, so the former are turned into it
// (in `storage`); UTF-8 is given back as it is, without a copy.
std::string_view ForDisplay(std::string_view text, std::string& storage) {
    if (IsUtf8(text)) return text;
    static constexpr char32_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
    };
    storage.clear();
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        AppendUtf8(storage, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : char32_t{c});
    }
    return storage;
}

std::string ForDisplay(std::string_view text) {
    std::string storage;
    return std::string(ForDisplay(text, storage));
}

std::string MethodName(std::uint16_t method) {
    switch (method) {
        case 0: return "Stored";
        case 1: return "Shrunk";
        case 2:
        case 3:
        case 4:
        case 5: return "Reduced";
        case 6: return "Imploded";
        case 8: return "Deflated";
        case 9: return "Deflate64";
        case 12: return "BZip2";
        case 14: return "LZMA";
        case 93: return "Zstandard";
        case 95: return "XZ";
        case 98: return "PPMd";
        case 99: return "AES";
        default: return "method " + std::to_string(method);
    }
}

// Fixed-width texts made without a format string: a listing makes two of them per entry.
template <std::size_t N>
struct ShortText {
    char text[N];
    std::string_view View() const { return {text, N}; }
    std::string String() const { return std::string(View()); }
};

// `value` as `digits` decimal digits at `out`; every field of a DOS date and time fits its width.
void PutDigits(char* out, unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

// The MS-DOS date and time as "YYYY-MM-DD HH:MM:SS".
ShortText<19> DosDateTimeText(std::uint32_t value) {
    const unsigned date = value >> 16;
    const unsigned time = value & 0xFFFF;
    ShortText<19> t;
    PutDigits(t.text, 1980 + (date >> 9), 4);
    t.text[4] = '-';
    PutDigits(t.text + 5, (date >> 5) & 15, 2);
    t.text[7] = '-';
    PutDigits(t.text + 8, date & 31, 2);
    t.text[10] = ' ';
    PutDigits(t.text + 11, time >> 11, 2);
    t.text[13] = ':';
    PutDigits(t.text + 14, (time >> 5) & 63, 2);
    t.text[16] = ':';
    PutDigits(t.text + 17, (time & 31) * 2, 2);
    return t;
}

ShortText<8> Hex8(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    ShortText<8> t;
    for (int i = 7; i >= 0; --i, value >>= 4) t.text[i] = kDigits[value & 15];
    return t;
}

// `value` in decimal, right-aligned in `width` characters.
void AppendRight(std::string& out, std::uint64_t value, std::size_t width) {
    char digits[20];
    std::size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (n < width) out.append(width - n, ' ');
    while (n > 0) out += digits[--n];
}

// `text` left-aligned in `width` characters.
void AppendLeft(std::string& out, std::string_view text, std::size_t width) {
    out += text;
    if (text.size() < width) out.append(width - text.size(), ' ');
}

// Names of printable ASCII alone, the usual case, are shown as they are.
bool IsPlainAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

void PrintText(const TZipMaster& zip, const std::string& archive) {
    std::cout << "Archive: " << PrintablePath(archive) << '\n';
    char line[160];
    std::snprintf(line, sizeof line, "%10s  %-9s  %10s  %10s  %-8s  %-19s  %s", "Offset", "Method", "Packed",
                  "Unpacked", "CRC-32", "Modified", "Name");
    std::cout << line << '\n';
    // Lines are put together in one buffer written in large pieces: a listing of many
    // entries is mostly this loop.
    constexpr std::size_t kFlushAt = 1 << 16;
    std::string out;
    out.reserve(kFlushAt + 512);
    for (const auto& e : zip.Entries()) {
        // The real figures: those of zip64 fields where the stored ones are saturated.
        AppendRight(out, e.LocalHeaderOffset64, 10);
        out += "  ";
        AppendLeft(out, MethodName(e.Method), 9);
        out += "  ";
        AppendRight(out, e.PackedSize64, 10);
        out += "  ";
        AppendRight(out, e.UnpackedSize64, 10);
        out += "  ";
        out += Hex8(e.Crc32).View();
        out += "  ";
        out += DosDateTimeText(e.DosDateTime).View();
        out += "  ";
        if (IsPlainAscii(e.FileName)) {
            out += e.FileName;
        } else {
            out += Printable(ForDisplay(e.FileName));
        }
        out += '\n';
        if (out.size() >= kFlushAt) {
            std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
            out.clear();
        }
    }
    std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
    std::cout << '\n'
              << "Entries:          " << zip.Entries().size() << '\n'
              << "Stub size:        " << zip.StubSize() << " bytes\n"
              << "Offsets shifted:  " << (zip.OffsetsShifted() ? "yes" : "no") << '\n'
              << "Spanned archive:  " << (zip.SpannedArchive() ? "yes" : "no") << '\n'
              << "Central offset:   " << zip.CentralOffset() << '\n'
              << "Archive size:     " << zip.ArchiveSize() << " of " << zip.PhysicalSize() << " bytes\n"
              << "Comment:          " << Printable(ForDisplay(zip.ArchiveComment())) << '\n';
}

// Written as a stream: a document tree of a large archive costs many times the listing.
void PrintJson(const TZipMaster& zip, const std::string& archive, bool ok, const std::vector<Report>& reports) {
    JsonStream json(std::cout);
    std::string storage;
    json.BeginObject();
    json.Key("archive");
    json.String(archive);
    json.Key("ok");
    json.Bool(ok);
    json.Key("entries");
    json.BeginArray();
    for (const auto& e : zip.Entries()) {
        json.BeginObject();
        json.Key("name");
        json.String(ForDisplay(e.FileName, storage));
        json.Key("packed_size");
        json.Number(e.PackedSize64);
        json.Key("unpacked_size");
        json.Number(e.UnpackedSize64);
        json.Key("method");
        json.Number(e.Method);
        json.Key("method_name");
        json.String(MethodName(e.Method));
        json.Key("crc32");
        json.String(Hex8(e.Crc32).View());
        json.Key("offset");
        json.Number(e.LocalHeaderOffset64);
        // In a set the offset counts from the start of the entry's own volume.
        if (zip.SpannedArchive()) {
            json.Key("start_disk");
            json.Number(e.StartDisk32);
        }
        json.Key("modified");
        json.String(DosDateTimeText(e.DosDateTime).View());
        json.Key("host_system");
        json.Number(e.HostSystem);
        json.Key("flags");
        json.Number(e.Flags);
        json.Key("comment");
        json.String(ForDisplay(e.FileComment, storage));
        if (const char* problem = formats::EntryNameProblem(e.FileName)) {
            json.Key("unsafe_name");
            json.String(problem);
        }
        json.EndObject();
    }
    json.EndArray();
    json.Key("stub_size");
    json.Number(zip.StubSize());
    json.Key("offsets_shifted");
    json.Bool(zip.OffsetsShifted());
    json.Key("comment");
    json.String(ForDisplay(zip.ArchiveComment()));
    json.Key("spanned_archive");
    json.Bool(zip.SpannedArchive());
    json.Key("central_offset");
    json.Number(zip.CentralOffset());
    json.Key("archive_size");
    json.Number(zip.ArchiveSize());
    json.Key("physical_size");
    json.Number(zip.PhysicalSize());
    json.Key("messages");
    json.BeginArray();
    for (const auto& r : reports) {
        json.BeginObject();
        json.Key("id");
        json.Number(r.id);
        json.Key("text");
        json.String(ForDisplay(r.text));
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    json.Finish();
}

// Names an extractor would refuse are worth knowing before anyone extracts the archive.
void WarnOfUnsafeNames(const TZipMaster& zip, UiHost& host) {
    for (const auto& e : zip.Entries()) {
        if (const char* problem = formats::EntryNameProblem(e.FileName)) {
            host.ShowMessage(
                MessageKind::Warning,
                "the entry \"" + Printable(ForDisplay(e.FileName)) + "\" would be refused on extraction: " + problem,
                kApplicationTitle, Buttons::Ok);
        }
    }
}

}  // namespace

void AddListCommand(CLI::App& app, CommandContext& context) {
    auto arguments = std::make_shared<ListArguments>();
    auto* list = app.add_subcommand(
        "list",
        "Read a zip archive's directory (also one behind a self-extracting "
        "stub) and print its entries: local-header "
        "offset, method, packed and unpacked size, CRC-32, modification time "
        "and name, names as the zip component "
        "keeps them (with \"\\\"; control characters shown as \"?\"; the UTF-8 name of a Unicode Path "
        "field when it was written for the stored one). Sizes and offsets are the "
        "real ones, from zip64 fields where the archive needs them. Then the "
        "stub size, whether the stored offsets are shifted, whether the archive "
        "is part of a multi-volume set, and the archive comment. Warnings and "
        "errors go to stderr; an archive that "
        "cannot be read is an error.");
    list->add_option("ZIP", arguments->archive, "the archive to read")->required();
    list->add_flag("--json", arguments->json,
                   "print the same as JSON, with the component's messages and ids; texts are kept "
                   "exactly, control characters "
                   "escaped as JSON escapes them");
    list->callback([arguments, &context] {
        // A multi-volume set on a fixed drive is named by its archive name (arch.zip) while
        // only its numbered volumes exist: the last of them holds the directory's end.
        if (!FileExists(arguments->archive) && FileExists(NumberedVolumeName(arguments->archive, 0))) {
            int last = 0;
            while (last + 1 < kMaxVolumes && FileExists(NumberedVolumeName(arguments->archive, last + 1))) ++last;
            arguments->archive = NumberedVolumeName(arguments->archive, last);
        }
        if (!FileExists(arguments->archive)) {
            throw ReadError("open", arguments->archive, FolderExists(arguments->archive) ? EISDIR : ENOENT);
        }
        std::vector<Report> reports;
        TZipMaster zip(context.host);
        zip.SetUnattended(true);
        zip.OnMessage = [&](TZipMaster& sender, int, const std::string& text) {
            reports.push_back({sender.LastMessageId(), text});
            context.host.ShowMessage(MessageKindOf(sender.LastMessageId()), ForDisplay(text), kApplicationTitle,
                                     Buttons::Ok);
        };
        zip.SetZipFilename(arguments->archive);
        const bool ok = !zip.ZipFilename().empty();
        if (arguments->json) {
            PrintJson(zip, arguments->archive, ok, reports);
        } else if (ok) {
            PrintText(zip, arguments->archive);
            WarnOfUnsafeNames(zip, context.host);
        }
        std::cout.flush();
        context.status = ok && std::cout ? kSuccess : kFailure;
    });
}

}  // namespace kitforge::cli
