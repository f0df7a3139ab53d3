#pragma once
// Undo and Redo for the project as the window shows it: the four fields, the check box, the
// rows and their selection. The window hands the project over after every command and every
// keystroke; a state whose texts or rows differ from the current step becomes a new step.
// Keystrokes in one field run together into one step, so Undo takes back a typed word, not a
// letter. Each step also remembers whether it matches the file: undoing back to the state that
// was last saved clears Changed, and leaving it sets Changed again.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/build_script.h"
#include "ui/editor_project.h"

namespace kitforge {

class ProjectHistory {
public:
    // Steps kept; the oldest go first. A step holds the rows' texts, a few kilobytes.
    static constexpr std::size_t kMaxSteps = 500;

    // Takes the project's state after a command (`typing` empty) or after a keystroke in a
    // field. A project of another generation (opened or new) starts the history afresh.
    void Record(const EditorProject& project, std::optional<ProjectField> typing = std::nullopt);

    bool CanUndo() const noexcept { return current_ > 0; }
    bool CanRedo() const noexcept { return current_ + 1 < steps_.size(); }
    // Put the step before (after) the current one into the project; nothing when there is none.
    void Undo(EditorProject& project);
    void Redo(EditorProject& project);

private:
    struct Step {
        std::array<std::string, 4> fields;
        bool compressed = false;
        std::vector<ScriptCommand> rows;
        std::vector<std::size_t> selection;
        // The project's Changed flag in this state: false only for the state the file holds.
        bool changed = false;
        // The field whose typing this step collects, while the user goes on typing in it.
        std::optional<ProjectField> typing;

        bool SameContent(const Step& other) const {
            return fields == other.fields && compressed == other.compressed && rows == other.rows;
        }
    };

    static Step Take(const EditorProject& project);
    void Apply(EditorProject& project);

    std::vector<Step> steps_;
    std::size_t current_ = 0;
    std::optional<std::uint64_t> generation_;
};

}  // namespace kitforge
