#include "ui/editor_project.h"

#include <algorithm>
#include <utility>

namespace kitforge {

std::optional<std::size_t> ScriptRows::Selected() const noexcept {
    if (selected_.empty()) return std::nullopt;
    return selected_.front();
}

void ScriptRows::Select(std::optional<std::size_t> row) {
    selected_.clear();
    if (row && *row < rows_.size()) selected_.push_back(*row);
}

void ScriptRows::SelectRows(std::vector<std::size_t> rows) {
    std::erase_if(rows, [this](std::size_t row) { return row >= rows_.size(); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    selected_ = std::move(rows);
}

void ScriptRows::InsertAt(std::size_t row, ScriptCommand command) {
    if (row > rows_.size()) row = rows_.size();
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(row), std::move(command));
    for (auto& selected : selected_) {
        if (selected >= row) ++selected;
    }
}

void ScriptRows::Remove(std::size_t row) {
    if (row >= rows_.size()) return;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
    std::erase(selected_, row);
    for (auto& selected : selected_) {
        if (selected > row) --selected;
    }
}

void ScriptRows::Swap(std::size_t a, std::size_t b) { std::swap(rows_.at(a), rows_.at(b)); }

void ScriptRows::Clear() {
    rows_.clear();
    selected_.clear();
}

void ScriptRows::Assign(std::vector<ScriptCommand> rows) {
    rows_ = std::move(rows);
    selected_.clear();
}

std::string EditorProject::CaptionFor(std::string_view script_file_name) {
    return std::string(kCaption) + " [" + std::string(script_file_name) + "]";
}

void EditorProject::SetField(ProjectField field, std::string_view text) {
    std::string& value = fields_[Index(field)];
    if (value == text) return;
    value = text;
    changed_ = true;
}

void EditorProject::SetEncoding(TextEncoding encoding) noexcept {
    encoding_ = encoding;
    ++generation_;
}

void EditorProject::SetCompressed(bool compressed) {
    if (compressed_ == compressed) return;
    compressed_ = compressed;
    changed_ = true;
}

BuildScript EditorProject::Script() const {
    BuildScript script;
    script.Title = Field(ProjectField::Title);
    script.Prompt = Field(ProjectField::Prompt);
    script.Notes = Field(ProjectField::Notes);
    script.Output = Field(ProjectField::Output);
    script.Compressed = compressed_;
    script.Commands = rows_.Rows();
    script.Version = version_;
    script.Publisher = publisher_;
    return script;
}

void EditorProject::SetProjectFields(const BuildScript& script) {
    ++generation_;
    SetField(ProjectField::Title, script.Title);
    SetField(ProjectField::Prompt, script.Prompt);
    SetField(ProjectField::Output, script.Output);
    SetField(ProjectField::Notes, script.Notes);
    SetCompressed(script.Compressed);
    // No widgets show these two; they are kept so that a save writes them back.
    if (version_ != script.Version || publisher_ != script.Publisher) changed_ = true;
    version_ = script.Version;
    publisher_ = script.Publisher;
}

}  // namespace kitforge
