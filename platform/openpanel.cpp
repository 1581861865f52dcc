#include "platform/openpanel.h"

#include <QFileDialog>

namespace zelvora {

QtOpenPanel::QtOpenPanel(QWidget *parent) : m_parent(parent) {}

std::optional<QString> QtOpenPanel::runModal(const OpenPanelOptions &options)
{
    QFileDialog dialog(m_parent, options.title);
    if (options.savesFile) {
        dialog.setFileMode(QFileDialog::AnyFile);
    } else if (options.canChooseDirectories) {
        dialog.setFileMode(QFileDialog::Directory);
        if (!options.canChooseFiles)
            dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    dialog.setAcceptMode(options.savesFile ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (!options.prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, options.prompt);
    if (!options.directory.isEmpty())
        dialog.setDirectory(options.directory);
    if (!options.selectedFile.isEmpty())
        dialog.selectFile(options.selectedFile);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    // QFileDialog already gives the plain local path; nothing may be cut from it on this file system.
    return chosen.constFirst();
}

} // namespace zelvora
