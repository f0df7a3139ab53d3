#pragma once
// The project as the main window holds it: the five project fields, the rows of the script
// list with their selection, the script file's name, the Changed flag and the caption. The
// window's controls mirror this object; every rule about what counts as a change lives here,
// so it holds whether the user or the program makes the change.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/build_script.h"
#include "model/text_encoding.h"

namespace kitforge {

enum class ProjectField { Title, Prompt, Output, Notes };

// The rows of the script list and the rows that are selected. Several rows may be selected;
// the command buttons act on the first of them.
class ScriptRows {
public:
    const std::vector<ScriptCommand>& Rows() const noexcept { return rows_; }
    std::size_t Count() const noexcept { return rows_.size(); }
    const ScriptCommand& At(std::size_t row) const { return rows_.at(row); }

    // The first selected row, the one the command buttons edit.
    std::optional<std::size_t> Selected() const noexcept;
    // Every selected row, in ascending order.
    const std::vector<std::size_t>& SelectedRows() const noexcept { return selected_; }
    // Selects one row, or none; a position past the last row selects nothing.
    void Select(std::optional<std::size_t> row);
    // Selects these rows; positions past the last row are left out.
    void SelectRows(std::vector<std::size_t> rows);

    void Append(ScriptCommand command) { rows_.push_back(std::move(command)); }
    void InsertAt(std::size_t row, ScriptCommand command);
    void Replace(std::size_t row, ScriptCommand command) { rows_.at(row) = std::move(command); }
    // Removes a row; a selection of that row goes with it.
    void Remove(std::size_t row);
    void Swap(std::size_t a, std::size_t b);
    void Clear();
    // All rows at once, nothing selected.
    void Assign(std::vector<ScriptCommand> rows);

private:
    std::vector<ScriptCommand> rows_;
    std::vector<std::size_t> selected_;
};

class EditorProject {
public:
    // The caption of a window without a file, and of one that names its file.
    static constexpr std::string_view kCaption = "Kitforge";
    static std::string CaptionFor(std::string_view script_file_name);

    const std::string& Field(ProjectField field) const { return fields_[Index(field)]; }
    // Setting a field to the text it already holds is no change.
    void SetField(ProjectField field, std::string_view text);
    bool Compressed() const noexcept { return compressed_; }
    void SetCompressed(bool compressed);

    ScriptRows& Rows() noexcept { return rows_; }
    const ScriptRows& Rows() const noexcept { return rows_; }

    const std::string& ScriptFileName() const noexcept { return script_file_name_; }
    void SetScriptFileName(std::string name) { script_file_name_ = std::move(name); }

    bool Changed() const noexcept { return changed_; }
    void SetChanged(bool changed) noexcept { changed_ = changed; }

    // The encoding the script file was read in, and in which it is written back. The fields
    // and rows always hold UTF-8, whatever the file's encoding; a new project is UTF-8.
    TextEncoding Encoding() const noexcept { return encoding_; }
    void SetEncoding(TextEncoding encoding) noexcept;

    // Counts the projects this object has held. Opening a script and starting a new project
    // both choose the encoding and put all five project fields at once; either begins another
    // project, whose undo history must not reach back into the one before.
    std::uint64_t Generation() const noexcept { return generation_; }

    const std::string& Caption() const noexcept { return caption_; }
    void SetCaption(std::string caption) { caption_ = std::move(caption); }
    // The caption as the window shows it: with a "*" after it while there are unsaved changes
    // ("Kitforge [/home/me/setup.inf]*").
    std::string WindowCaption() const { return changed_ ? caption_ + "*" : caption_; }

    // The build script that the fields and rows stand for, as it would be saved.
    BuildScript Script() const;
    // Puts the five project fields of `script` into the fields, each through its setter, and
    // keeps its version and publisher, which no field shows, for Script().
    void SetProjectFields(const BuildScript& script);

private:
    static std::size_t Index(ProjectField field) { return static_cast<std::size_t>(field); }

    std::array<std::string, 4> fields_;
    bool compressed_ = false;
    std::string version_;
    std::string publisher_;
    ScriptRows rows_;
    std::string script_file_name_;
    bool changed_ = false;
    TextEncoding encoding_ = TextEncoding::Utf8;
    std::uint64_t generation_ = 0;
    std::string caption_{kCaption};
};

}  // namespace kitforge
