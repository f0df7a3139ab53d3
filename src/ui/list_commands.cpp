#include "ui/list_commands.h"

#include <vector>

#include "model/command_text.h"
#include "ui/put_sources.h"

namespace kitforge {

bool ListCommands::CommandButton(CommandKind kind) {
    const auto selected = project_.Rows().Selected();
    const ScriptCommand filled = selected ? project_.Rows().At(*selected) : ScriptCommand{};
    switch (kind) {
        case CommandKind::Put: return ApplyPut(filled);
        case CommandKind::Execute:
        case CommandKind::Run:
        case CommandKind::CleanUp: {
            const ExecuteTexts& texts = kind == CommandKind::Execute ? kExecuteTexts
                                        : kind == CommandKind::Run   ? kRunTexts
                                                                     : kCleanUpTexts;
            const auto command_line = dialogs_.ShowExecute(texts, filled.Parameter1);
            if (!command_line) return false;
            Store({kind, *command_line, ""});
            return true;
        }
        case CommandKind::Copy: {
            const auto fields = dialogs_.ShowCopy({filled.Parameter1, filled.Parameter2});
            if (!fields) return false;
            Store({kind, fields->SourceFile, fields->TargetFolder});
            return true;
        }
        case CommandKind::Shortcut: {
            const auto fields = dialogs_.ShowLink(
                {filled.Parameter1, QuotedParameter(filled.Parameter2, 1), QuotedParameter(filled.Parameter2, 2)});
            if (!fields) return false;
            Store({kind, fields->ShortcutLocation, ShortcutTarget(fields->TargetProgram, fields->Arguments)});
            return true;
        }
        case CommandKind::Quit: Store({kind, "", ""}); return true;
        case CommandKind::None: break;
    }
    return false;
}

bool ListCommands::ApplyPut(const ScriptCommand& filled) {
    const auto fields = dialogs_.ShowExtract({filled.Parameter1, filled.Parameter2});
    if (!fields) return false;
    ScriptRows& rows = project_.Rows();
    if (const auto selected = rows.Selected()) {
        rows.Replace(*selected, {CommandKind::Put, FirstPutSource(fields->SourceFiles), fields->TargetFolder});
    } else {
        for (auto& name : SplitPutSources(fields->SourceFiles)) {
            rows.Append({CommandKind::Put, std::move(name), fields->TargetFolder});
        }
    }
    // An empty source appends nothing, but the user did answer OK.
    project_.SetChanged(true);
    return true;
}

void ListCommands::Store(ScriptCommand command) {
    ScriptRows& rows = project_.Rows();
    if (const auto selected = rows.Selected()) {
        rows.Replace(*selected, std::move(command));
    } else {
        rows.Append(std::move(command));
    }
    project_.SetChanged(true);
}

void ListCommands::Insert() {
    ScriptRows& rows = project_.Rows();
    const std::size_t at = rows.Selected().value_or(rows.Count());
    rows.InsertAt(at, ScriptCommand{});
    rows.Select(at);
}

void ListCommands::Delete() {
    ScriptRows& rows = project_.Rows();
    const std::vector<std::size_t> selected = rows.SelectedRows();
    if (selected.empty()) return;
    // From the last up, so the positions still to remove stay where they are.
    for (auto row = selected.rbegin(); row != selected.rend(); ++row) rows.Remove(*row);
    project_.SetChanged(true);
}

void ListCommands::Up() { Move(-1); }

void ListCommands::Down() { Move(+1); }

void ListCommands::Move(int step) {
    ScriptRows& rows = project_.Rows();
    const auto selected = rows.Selected();
    if (!selected) return;
    if (step < 0 ? *selected == 0 : *selected + 1 >= rows.Count()) return;
    const std::size_t other = step < 0 ? *selected - 1 : *selected + 1;
    rows.Swap(*selected, other);
    rows.Select(other);
    project_.SetChanged(true);
}

void ListCommands::DoubleClick() {
    const auto selected = project_.Rows().Selected();
    if (!selected) return;
    const CommandKind kind = project_.Rows().At(*selected).Action;
    if (kind != CommandKind::None) CommandButton(kind);
}

std::string ListCommands::CommandButtonTarget() const {
    const ScriptRows& rows = project_.Rows();
    const auto selected = rows.Selected();
    if (!selected) return "Adds a row";
    std::string target = "Replaces row " + std::to_string(*selected + 1);
    if (rows.SelectedRows().size() > 1) {
        target += " (the first of " + std::to_string(rows.SelectedRows().size()) + " selected)";
    }
    return target;
}

}  // namespace kitforge
