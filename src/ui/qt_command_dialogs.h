#pragma once
// The command dialogs shown with Qt: each call makes a fresh dialog owned by the main
// window, fills it, runs it modally and destroys it.

#include <functional>
#include <string>

#include "ui/command_dialogs.h"

class QWidget;

namespace kitforge {

class UiHost;

class QtCommandDialogs : public CommandDialogs {
public:
    // `script_file_name` gives the current script's path when a dialog opens (empty for a
    // project without a file): the Put dialog writes sources beside it from %apppath%.
    QtCommandDialogs(UiHost& host, std::string program_folder, QWidget* owner,
                     std::function<std::string()> script_file_name = {})
        : host_(host),
          program_folder_(std::move(program_folder)),
          owner_(owner),
          script_file_name_(std::move(script_file_name)) {}

    std::optional<ExtractFields> ShowExtract(const ExtractFields& fields) override;
    std::optional<std::string> ShowExecute(const ExecuteTexts& texts, const std::string& command_line) override;
    std::optional<CopyFields> ShowCopy(const CopyFields& fields) override;
    std::optional<LinkFields> ShowLink(const LinkFields& fields) override;

private:
    UiHost& host_;
    std::string program_folder_;
    QWidget* owner_;
    std::function<std::string()> script_file_name_;
};

}  // namespace kitforge
