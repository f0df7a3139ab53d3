// The safe writers, the same on every system over the OS layer's temporary file and rename.

#include "os/safe_file_writer.h"

#include <cerrno>
#include <filesystem>

#include "os/errors.h"
#include "os/file_names.h"
#include "os/native_path.h"

namespace kitforge {

namespace {

// The file a link points to, so that saving through a link updates its target.
std::string ResolvedTarget(const std::string& native) {
    std::error_code ec;
    if (std::filesystem::is_symlink(native, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(native, ec);
        if (!ec) return resolved.string();
    }
    return native;
}

// The start of a temporary name beside `target`: its folder, a dot and its name.
std::string StemBeside(const std::string& target) {
#ifdef _WIN32
    const std::size_t slash = target.find_last_of("/\\:");
#else
    const std::size_t slash = target.rfind('/');
#endif
    const std::string folder = slash == std::string::npos ? std::string("./") : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + ".";
}

// Creates a file beside `target` that did not exist before; errors name `path`.
TemporaryFile CreateBeside(const std::string& target, const std::string& path, unsigned mode) {
    int error = 0;
    TemporaryFile temporary = TemporaryFile::Create(StemBeside(target), mode, &error);
    if (!temporary.IsOpen()) throw InOutError("create", path, error);
    return temporary;
}

// A failure of the temporary file, which the user never named: the error names the output.
[[noreturn]] void ThrowForOutput(const FileError& e, const std::string& path) {
    throw InOutError("write", path, e.Code(), e.Code() == 0 ? std::string_view(e.what()) : std::string_view());
}

void Check(int error, std::string_view action, const std::string& path) {
    if (error != 0) throw InOutError(action, path, error);
}

}  // namespace

ReplacementFile::ReplacementFile(std::string path, unsigned mode) : path_(std::move(path)) {
    const std::string native = NativePath(path_);
    if (auto device = OpenNamedDevice(native, path_)) {
        device_ = std::move(*device);
        return;
    }
    temporary_ = CreateBeside(native, path_, mode);
}

void ReplacementFile::Write(const std::function<void(File&)>& write) {
    File& file = temporary_.IsOpen() ? temporary_.Open() : device_;
    try {
        write(file);
    } catch (const InOutError& e) {
        if (e.Path() != temporary_.Path()) throw;
        ThrowForOutput(e, path_);
    }
}

void ReplacementFile::Commit() {
    try {
        // A device is not flushed like a file: most refuse fsync.
        if (device_.IsOpen()) {
            device_.Close();
            return;
        }
        temporary_.Open().Sync();
        temporary_.Open().Close();
    } catch (const FileError& e) {
        ThrowForOutput(e, path_);
    }
    // The rename replaces a link at the name, never what it points to.
    Check(temporary_.RenameOver(NativePath(path_)), "write", path_);
}

void WriteFileSafely(const std::string& path, const std::function<void(File&)>& write) {
    const std::string target = ResolvedTarget(NativePath(path));
    TemporaryFile temporary = CreateBeside(target, path, 0600);
    const unsigned mode = ReplacementMode(target);
    try {
        File& file = temporary.Open();
        write(file);
        file.Sync();
        Check(SetPermissions(file, mode), "write", file.Path());
        file.Close();
    } catch (const FileError& e) {
        ThrowForOutput(e, path);
    }
    Check(temporary.RenameOver(target), "write", path);
}

void WriteNewFileSafely(const std::string& path, unsigned mode, const std::function<void(File&)>& write) {
    const std::string target = NativePath(path);
    TemporaryFile temporary = CreateBeside(target, path, mode);
    write(temporary.Open());
    try {
        temporary.Open().Close();
    } catch (const FileError& e) {
        ThrowForOutput(e, path);
    }
    // The rename replaces a link at `target` itself; it never follows it.
    Check(temporary.RenameOver(target), "create", path);
}

}  // namespace kitforge
