#include "zip/zip_messages.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kitforge {

namespace {

struct BoundText {
    int id;
    std::string_view text;
};

// Sorted by id. A text takes an argument only where its id is raised with one: a drive ("%s")
// for 11003 and 11004, a disk number ("%d") for 11038; the disk prompts carry the numbers
// and names their callers give. The prompt texts are the ones the disk dialogues default to.
constexpr std::array kBoundTexts = {
    BoundText{10101, "Adding files to the zip archive stopped on an unexpected error"},
    BoundText{10102, "No zip archive to work on: the archive name is empty or the file does not exist"},
    BoundText{10103, "Not enough memory for this zip operation"},
    BoundText{10105, "Copying: "},
    BoundText{10201, "Cannot move to a position inside the zip archive while reading its directory"},
    BoundText{10202, "Cannot read the directory of the zip archive"},
    BoundText{10203,
              "The zip data has moved in the file (a stub was put in front of it): "
              "its stored offsets do not match their positions"},
    BoundText{10204, "Bytes other than zero padding follow the end of the zip archive; they are ignored"},
    BoundText{10301, "No files to add: the list of file specifications is empty"},
    BoundText{10302, "Encrypting needs a password, and none can be asked for when running unattended"},
    BoundText{10303, "A multi-volume archive cannot be freshened or updated"},
    BoundText{10601, "The zip library ZIPDLL.DLL is loaded"},
    BoundText{10602, "The zip library ZIPDLL.DLL has no entry point ZipDllExec"},
    BoundText{10603, "The zip library ZIPDLL.DLL has no entry point GetZipDllVersion"},
    BoundText{10604, "Unable to load the zip library ZIPDLL.DLL"},
    BoundText{10801,
              "The self-extracting texts are too long: caption, default folder and command line "
              "together must stay below 250 characters"},
    BoundText{10802, "The self-extracting stub ZipSFX.bin was not found"},
    BoundText{10803, "Only an archive whose name ends in .zip can be made self-extracting"},
    BoundText{11001, "Cannot open the zip archive"},
    BoundText{11003, "The drive %s is not a drive letter from A to Z"},
    BoundText{11004, "The drive %s is not ready, or its volume cannot be read"},
    BoundText{11005, "Cannot write the volume label of the disk"},
    BoundText{11006, "Cannot show the question about free disk space"},
    BoundText{11007, "The operation was stopped: it was cancelled, or the disk could not be formatted"},
    BoundText{11008, "Cannot move to a position inside the zip archive"},
    BoundText{11009, "Cannot create the volume file"},
    BoundText{11010, "Cannot write to the volume"},
    BoundText{11011, "Cannot read the end of the zip archive"},
    BoundText{11012, "A local header of the zip archive is cut short"},
    BoundText{11013, "An entry of the zip archive's central directory is cut short"},
    BoundText{11014, "A local header of the zip archive has a wrong signature"},
    BoundText{11015, "An entry of the zip archive's central directory has a wrong signature"},
    BoundText{11016, "The file name of a local header is cut short"},
    BoundText{11017, "The file name of a central directory entry is cut short"},
    BoundText{11018, "The extra field of a local header is cut short"},
    BoundText{11019, "The extra field of a central directory entry is cut short"},
    BoundText{11020, "The data descriptor of an entry is cut short"},
    BoundText{11021, "The compressed data of an entry is cut short"},
    BoundText{11022, "The comment of a central directory entry is cut short"},
    BoundText{11023, "The archive comment is cut short"},
    BoundText{11024, "Writing the multi-volume archive failed"},
    BoundText{11025, "A disk or overwrite question would be needed, but the operation runs unattended"},
    BoundText{11026, "A central directory entry names a file that has no local header in the archive"},
    BoundText{11029, "Cannot write an entry of the central directory"},
    BoundText{11030, "Cannot write the end of the central directory"},
    BoundText{11032, "This disk has not enough free space available"},
    BoundText{11034, "Please insert disk volume %.1d of %.1d"},
    BoundText{11035, "\r\nin drive: %s"},
    BoundText{11036, "This file is not a zip archive: it has no end of central directory record"},
    BoundText{11037, "This is the first disk of a multi-volume zip set; insert the last disk of the set"},
    BoundText{11038, "This is disk %d of a multi-volume zip set; insert the last disk of the set"},
    BoundText{11039, "Overwrite previous file %s"},
    BoundText{11040, "Overwrite previous disk no %d"},
    BoundText{11041, "A multi-volume archive cannot be a self-extracting .exe file"},
    BoundText{11042, "Cannot copy an entry of the central directory"},
    BoundText{11043, "Cannot skip the end of the central directory"},
    BoundText{11044, "Cannot copy the archive comment"},
    BoundText{11045, "This file is a part of a multi-volume zip set, but not its last part"},
    BoundText{11046, "Please insert disk volume %.1d"},
};

constexpr bool IsSortedById() {
    for (std::size_t i = 1; i < kBoundTexts.size(); ++i) {
        if (kBoundTexts[i - 1].id >= kBoundTexts[i].id) return false;
    }
    return true;
}
static_assert(IsSortedById(), "the message table must stay sorted by id");

void AppendNumber(std::string& out, std::int64_t value, int min_digits) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*lld", std::clamp(min_digits, 1, 20), static_cast<long long>(value));
    out += digits;
}

void AppendArgument(std::string& out, const MessageArgument& argument, char conversion, int precision) {
    if (const auto* number = std::get_if<std::int64_t>(&argument)) {
        if (conversion == 's') {
            AppendNumber(out, *number, 1);
        } else {
            AppendNumber(out, *number, precision < 0 ? 1 : precision);
        }
        return;
    }
    const std::string& text = std::get<std::string>(argument);
    if (conversion == 's' && precision >= 0 && static_cast<std::size_t>(precision) < text.size()) {
        out.append(text, 0, static_cast<std::size_t>(precision));
    } else {
        out += text;
    }
}

}  // namespace

std::optional<std::string_view> BoundMessageText(int id) {
    const auto it = std::lower_bound(kBoundTexts.begin(), kBoundTexts.end(), id,
                                     [](const BoundText& entry, int wanted) { return entry.id < wanted; });
    if (it == kBoundTexts.end() || it->id != id) return std::nullopt;
    return it->text;
}

std::string MissingMessageText(int id) {
    return "ZipMsgXX.res is probably not bound to executable\nMissing String ID is: " + std::to_string(id);
}

std::string MessageText(int id, std::string_view default_text) {
    return std::string(BoundMessageText(id).value_or(default_text));
}

std::string MessageTextOrMissing(int id) {
    if (const auto text = BoundMessageText(id)) return std::string(*text);
    return MissingMessageText(id);
}

MessageKind MessageKindOf(int id) {
    switch (id) {
        case zip_msg::kOffsetsShifted:
        case zip_msg::kBytesAfterComment: return MessageKind::Warning;
        case zip_msg::kCopying:
        case zip_msg::kLibraryLoaded: return MessageKind::Information;
        default: return MessageKind::Error;
    }
}

std::string FormatMessageText(std::string_view format, std::initializer_list<MessageArgument> arguments) {
    std::string out;
    auto next = arguments.begin();
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        // "%" [width] ["." precision] ("d" | "s"): anything else stays as it is.
        std::size_t j = i + 1;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
        int precision = -1;
        if (j < format.size() && format[j] == '.') {
            ++j;
            precision = 0;
            while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
                precision = std::min(precision * 10 + (format[j] - '0'), 1000);
                ++j;
            }
        }
        const bool known = j < format.size() && (format[j] == 'd' || format[j] == 's');
        if (!known || next == arguments.end()) {
            out += c;
            ++i;
            continue;
        }
        AppendArgument(out, *next++, format[j], precision);
        i = j + 1;
    }
    return out;
}

}  // namespace kitforge
