#include "ui/project_history.h"

#include <utility>

namespace kitforge {

namespace {

constexpr std::array<ProjectField, 4> kFields = {ProjectField::Title, ProjectField::Prompt, ProjectField::Output,
                                                 ProjectField::Notes};

}  // namespace

ProjectHistory::Step ProjectHistory::Take(const EditorProject& project) {
    Step step;
    for (std::size_t i = 0; i < kFields.size(); ++i) step.fields[i] = project.Field(kFields[i]);
    step.compressed = project.Compressed();
    step.rows = project.Rows().Rows();
    step.selection = project.Rows().SelectedRows();
    step.changed = project.Changed();
    return step;
}

void ProjectHistory::Record(const EditorProject& project, std::optional<ProjectField> typing) {
    Step now = Take(project);
    now.typing = typing;
    if (generation_ != project.Generation() || steps_.empty()) {
        steps_.assign(1, std::move(now));
        current_ = 0;
        generation_ = project.Generation();
        return;
    }
    Step& top = steps_[current_];
    if (now.SameContent(top)) {
        // A new selection, a save, or a command that changed nothing: no step of its own. A
        // save makes this state the file's, and every other state one that differs from it.
        if (top.changed && !now.changed) {
            for (Step& step : steps_) step.changed = true;
        }
        top.selection = std::move(now.selection);
        top.changed = now.changed;
        top.typing = typing;
        return;
    }
    if (typing && top.typing == typing) {
        top = std::move(now);
        return;
    }
    steps_.resize(current_ + 1);  // a new change ends what could be redone
    steps_.push_back(std::move(now));
    if (steps_.size() > kMaxSteps) steps_.erase(steps_.begin());
    current_ = steps_.size() - 1;
}

void ProjectHistory::Undo(EditorProject& project) {
    if (!CanUndo()) return;
    --current_;
    Apply(project);
}

void ProjectHistory::Redo(EditorProject& project) {
    if (!CanRedo()) return;
    ++current_;
    Apply(project);
}

void ProjectHistory::Apply(EditorProject& project) {
    Step& step = steps_[current_];
    // Typing after an Undo starts a step of its own rather than rewriting this one.
    step.typing.reset();
    for (std::size_t i = 0; i < kFields.size(); ++i) project.SetField(kFields[i], step.fields[i]);
    project.SetCompressed(step.compressed);
    project.Rows().Assign(step.rows);
    project.Rows().SelectRows(step.selection);
    project.SetChanged(step.changed);
}

}  // namespace kitforge
