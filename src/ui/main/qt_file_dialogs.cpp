#include "ui/main/qt_file_dialogs.h"

#include <QFileDialog>

namespace tarvelo::ui {
namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString nameFilter(const FileDialogOptions& options) {
    // Qt reads the patterns from the parentheses; a description that already shows them in
    // parentheses is the whole filter.
    const QString description = fromView(options.filterDescription);
    const QString pattern = fromView(options.filterPattern);
    if (description.endsWith(QStringLiteral("(") + pattern + QStringLiteral(")")))
        return description;
    return description + QStringLiteral(" (") + pattern + QStringLiteral(")");
}

namespace {

std::optional<std::string> run(QWidget* parent, const FileDialogOptions& options, bool save) {
    QFileDialog dialog(parent);
    dialog.setNameFilter(nameFilter(options));
    dialog.setDefaultSuffix(fromView(options.defaultExtension));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && options.confirmOverwrite));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.first().toStdString();
}

}  // namespace

std::optional<std::string> QtFileDialogs::openFile(const FileDialogOptions& options) {
    return run(parent_, options, false);
}

std::optional<std::string> QtFileDialogs::saveFileAs(const FileDialogOptions& options) {
    return run(parent_, options, true);
}

}  // namespace tarvelo::ui
