#include "ui/qt_command_dialogs.h"

#include "ui/copy_form.h"
#include "ui/execute_form.h"
#include "ui/extract_form.h"
#include "ui/link_form.h"
#include "ui/qt_text.h"

namespace kitforge {

std::optional<ExtractFields> QtCommandDialogs::ShowExtract(const ExtractFields& fields) {
    TExtractForm form(host_, owner_);
    if (script_file_name_) form.SetScriptFileName(script_file_name_());
    form.SetSourceFiles(ToQt(fields.SourceFiles));
    form.SetTargetFolder(ToQt(fields.TargetFolder));
    if (form.exec() != QDialog::Accepted) return std::nullopt;
    return ExtractFields{FromQt(form.SourceFiles()), FromQt(form.TargetFolder())};
}

std::optional<std::string> QtCommandDialogs::ShowExecute(const ExecuteTexts& texts, const std::string& command_line) {
    TExecuteForm form(owner_);
    form.SetCaption(ToQt(texts.caption));
    form.SetLabelText(ToQt(texts.label));
    form.SetCommandLine(ToQt(command_line));
    if (form.exec() != QDialog::Accepted) return std::nullopt;
    return FromQt(form.CommandLine());
}

std::optional<CopyFields> QtCommandDialogs::ShowCopy(const CopyFields& fields) {
    TCopyForm form(host_, program_folder_, owner_);
    form.SetSourceFile(ToQt(fields.SourceFile));
    form.SetTargetFolder(ToQt(fields.TargetFolder));
    if (form.exec() != QDialog::Accepted) return std::nullopt;
    return CopyFields{FromQt(form.SourceFile()), FromQt(form.TargetFolder())};
}

std::optional<LinkFields> QtCommandDialogs::ShowLink(const LinkFields& fields) {
    TLinkForm form(owner_);
    form.SetShortcutLocation(ToQt(fields.ShortcutLocation));
    form.SetTargetProgram(ToQt(fields.TargetProgram));
    form.SetArguments(ToQt(fields.Arguments));
    if (form.exec() != QDialog::Accepted) return std::nullopt;
    return LinkFields{FromQt(form.ShortcutLocation()), FromQt(form.TargetProgram()), FromQt(form.Arguments())};
}

}  // namespace kitforge
