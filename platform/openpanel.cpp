#include "platform/openpanel.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace zelvora {

QtOpenPanel::QtOpenPanel(QWidget *parent) : m_parent(parent) {}

std::optional<QString> QtOpenPanel::runModal(const OpenPanelOptions &options)
{
    QFileDialog dialog(m_parent, options.title);
    // A native panel has no room for a line of ours; Qt's own has, under its fields.
    if (!options.note.isEmpty())
        dialog.setOption(QFileDialog::DontUseNativeDialog);
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
    if (!options.nameFilters.isEmpty()) {
        dialog.setNameFilters(options.nameFilters);
        // A name typed without an extension gets the first filter's, as the user meant.
        const QRegularExpressionMatch suffix =
            QRegularExpression(u"\\(\\*\\.(\\w+)\\)$"_s).match(options.nameFilters.constFirst());
        if (options.savesFile && suffix.hasMatch())
            dialog.setDefaultSuffix(suffix.captured(1));
    }
    if (!options.selectedFile.isEmpty())
        dialog.selectFile(options.selectedFile);
    if (!options.note.isEmpty()) {
        if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
            auto *note = new QLabel(options.note, &dialog);
            note->setWordWrap(true);
            note->setTextFormat(Qt::PlainText);
            grid->addWidget(note, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    // QFileDialog already gives the plain local path; nothing may be cut from it on this file system.
    return chosen.constFirst();
}

} // namespace zelvora
