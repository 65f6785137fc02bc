#include "ui/folder_chooser_dialog.h"

#include "ui/appearance.h"

#include <QFileDialog>

#include <memory>

namespace vantu {

FolderChooser folderChooserDialog() {
    return [](const FolderChoiceRequest& request, std::function<void(std::optional<QString>)> answer) {
        auto* dialog = new QFileDialog(nullptr, request.title, request.startFolder);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        // Qt's own dialog, so that the message and the confirm button's label are shown.
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        // The message names a command, which anyone can choose: never read it as markup.
        dialog->setLabelText(QFileDialog::FileName, Appearance::literalText(request.message));
        dialog->setLabelText(QFileDialog::Accept, request.prompt);
        // Answered exactly once, whichever way the dialog ends.
        auto pending = std::make_shared<std::function<void(std::optional<QString>)>>(std::move(answer));
        QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, pending](int result) {
            if (!*pending) {
                return;
            }
            const auto reply = std::exchange(*pending, {});
            const QStringList chosen = dialog->selectedFiles();
            if (result == QDialog::Accepted && !chosen.isEmpty() && !chosen.front().isEmpty()) {
                reply(chosen.front());
            } else {
                reply(std::nullopt);
            }
        });
        dialog->setModal(false);
        dialog->show();
    };
}

}  // namespace vantu
