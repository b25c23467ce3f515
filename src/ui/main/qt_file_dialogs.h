#pragma once

#include <QString>

#include "session/file_commands.h"

class QWidget;

namespace tarvelo::ui {

// The Open and Save As dialogs as QFileDialogs. Paths come back in UTF-8.
// User-interface thread only.
// The dialogs' filter line for the options: "Tarvelo Files (*.trv)".
QString nameFilter(const FileDialogOptions& options);

class QtFileDialogs final : public FileDialogs {
  public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    std::optional<std::string> openFile(const FileDialogOptions& options) override;
    std::optional<std::string> saveFileAs(const FileDialogOptions& options) override;

  private:
    QWidget* parent_;
};

}  // namespace tarvelo::ui
