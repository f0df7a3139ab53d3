#include "platform/version_resource.h"

#include "formats/byte_order.h"
#include "os/errors.h"
#include "os/file.h"

namespace kitforge {

namespace {

// Offsets inside a node, from its first byte.
constexpr std::size_t kNodeLengthOffset = 0;
constexpr std::size_t kNodeValueLengthOffset = 2;
constexpr std::size_t kNodeTypeOffset = 4;
constexpr std::size_t kNodeKeyOffset = 6;
constexpr std::uint16_t kTextNode = 1;

constexpr std::size_t AlignTo4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

// One node of the tree; offsets are from the start of the block.
struct Node {
    std::size_t start = 0;
    std::size_t end = 0;  // one past the node's last byte
    std::uint16_t value_length = 0;
    std::uint16_t type = 0;
    std::u16string key;
    std::size_t value_start = 0;
    std::size_t children_start = 0;
};

class BlockReader {
public:
    explicit BlockReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    std::uint16_t U16(std::size_t at) const { return formats::GetU16LE(bytes_.data() + at); }

    // The node at `start`, which must lie wholly before `limit`.
    std::optional<Node> NodeAt(std::size_t start, std::size_t limit) const {
        if (limit > bytes_.size() || start > limit || limit - start < kNodeKeyOffset) return std::nullopt;
        Node node;
        node.start = start;
        const std::size_t length = U16(start + kNodeLengthOffset);
        if (length < kNodeKeyOffset || length > limit - start) return std::nullopt;
        node.end = start + length;
        node.value_length = U16(start + kNodeValueLengthOffset);
        node.type = U16(start + kNodeTypeOffset);
        std::size_t at = start + kNodeKeyOffset;
        for (;;) {
            if (at + 2 > node.end) return std::nullopt;  // the key must end inside its node
            const char16_t unit = U16(at);
            at += 2;
            if (unit == 0) break;
            node.key.push_back(unit);
        }
        node.value_start = std::min(AlignTo4(at), node.end);
        const std::size_t value_bytes =
            node.type == kTextNode ? std::size_t{node.value_length} * 2 : std::size_t{node.value_length};
        node.children_start = std::min(AlignTo4(node.value_start + value_bytes), node.end);
        return node;
    }

    std::optional<Node> Root() const { return NodeAt(0, bytes_.size()); }

    // Calls fn(child) for each child in order until it gives true; gives that child.
    template <typename Fn>
    std::optional<Node> FindChild(const Node& parent, Fn fn) const {
        std::size_t at = parent.children_start;
        while (at < parent.end) {
            auto child = NodeAt(at, parent.end);
            if (!child) return std::nullopt;
            if (fn(*child)) return child;
            at = AlignTo4(child->end);
        }
        return std::nullopt;
    }

    // A text value: UTF-16 units up to the first 0 or the node's end. Some resource
    // compilers count a text's length in bytes rather than in units, so the length field
    // is trusted only to say whether there is a value at all.
    std::string TextValue(const Node& node) const {
        std::u16string units;
        if (node.value_length == 0) return {};
        std::size_t limit = node.end;
        if (node.type != kTextNode) limit = std::min(limit, node.value_start + node.value_length);
        for (std::size_t at = node.value_start; at + 2 <= limit; at += 2) {
            const char16_t unit = U16(at);
            if (unit == 0) break;
            units.push_back(unit);
        }
        return Utf8(units);
    }

    static std::string Utf8(const std::u16string& units) {
        std::string text;
        for (std::size_t i = 0; i < units.size(); ++i) {
            std::uint32_t cp = units[i];
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                units[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
                ++i;
            } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                cp = 0xFFFD;
            }
            if (cp < 0x80) {
                text += static_cast<char>(cp);
            } else if (cp < 0x800) {
                text += static_cast<char>(0xC0 | (cp >> 6));
                text += static_cast<char>(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                text += static_cast<char>(0xE0 | (cp >> 12));
                text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                text += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                text += static_cast<char>(0xF0 | (cp >> 18));
                text += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                text += static_cast<char>(0x80 | (cp & 0x3F));
            }
        }
        return text;
    }

private:
    const std::vector<std::uint8_t>& bytes_;
};

char LowerAscii(char16_t c) { return static_cast<char>(c >= u'A' && c <= u'Z' ? c - u'A' + 'a' : c); }

bool KeyMatches(const std::u16string& key, std::string_view name) {
    if (key.size() != name.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] > 0x7F || LowerAscii(key[i]) != LowerAscii(static_cast<unsigned char>(name[i]))) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> VersionBlock::QueryText(std::string_view path) const {
    const BlockReader reader(bytes_);
    auto node = reader.Root();
    bool any_step = false;
    while (node && !path.empty()) {
        const auto separator = path.find('\\');
        const std::string_view name = path.substr(0, separator);
        path = separator == std::string_view::npos ? std::string_view() : path.substr(separator + 1);
        if (name.empty()) continue;
        node = reader.FindChild(*node, [name](const Node& child) { return KeyMatches(child.key, name); });
        any_step = true;
    }
    if (!node || !any_step) return std::nullopt;
    return reader.TextValue(*node);
}

std::vector<std::string> VersionBlock::StringTableNames() const {
    std::vector<std::string> names;
    const BlockReader reader(bytes_);
    const auto root = reader.Root();
    if (!root) return names;
    const auto info = reader.FindChild(*root, [](const Node& n) { return KeyMatches(n.key, "StringFileInfo"); });
    if (!info) return names;
    reader.FindChild(*info, [&names](const Node& table) {
        names.push_back(BlockReader::Utf8(table.key));
        return false;
    });
    return names;
}

namespace {

// Random access to a file through one open handle. A failed read is remembered, so the
// caller can tell an unreadable file from one that merely holds no version block.
class FileByteSource : public ExecutableBytes {
public:
    explicit FileByteSource(File file) : file_(std::move(file)) {
        const auto size = file_.Size();
        if (size < 0) error_ = file_.LastError();
        size_ = size < 0 ? 0 : static_cast<std::uint64_t>(size);
    }

    std::uint64_t Size() const override { return size_; }

    bool ReadAt(std::uint64_t offset, void* data, std::size_t size) const override {
        if (offset > size_ || size > size_ - offset) return false;
        if (file_.Seek(static_cast<std::int64_t>(offset)) < 0 || file_.Read(data, size) != size) {
            if (file_.LastError() != 0) error_ = file_.LastError();
            return false;
        }
        return true;
    }

    int Error() const { return error_; }

private:
    mutable File file_;
    mutable int error_ = 0;
    std::uint64_t size_ = 0;
};

}  // namespace

std::optional<VersionBlock> ReadVersionBlock(const std::string& path) {
    const FileByteSource source(File::OpenRead(path));
    auto block = FindVersionBlock(source);
    if (source.Error() != 0) throw ReadError("read", path, source.Error());
    return block;
}

void TEPInfoExe::ReadVersionInfo() {
    std::optional<VersionBlock> block;
    try {
        block = ReadVersionBlock(exe_name_);
    } catch (const Error&) {
        return;  // an unreadable file reads as one without version information
    }
    if (!block) return;
    const std::string table = "StringFileInfo\\" + lang_id_ + std::string(kVersionCodePage) + "\\";
    for (std::size_t i = 0; i < kVersionInfoKeys.size(); ++i) {
        fields_[i] = block->QueryText(table + std::string(kVersionInfoKeys[i])).value_or(std::string());
    }
}

}  // namespace kitforge
