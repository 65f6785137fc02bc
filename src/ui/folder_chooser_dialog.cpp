#include "ui/folder_chooser_dialog.h"

#include <QFileDialog>

#include <memory>

namespace vantu {

FolderChooser folderChooserDialog() {
    return [](const FolderChoiceRequest& request, std::function<void(std::optional<QString>)> answer) {
        // The desktop's own chooser where there is one (its portal, or the toolkit's dialog);
        // Qt's otherwise. Neither has room for a message beside the folder's name, where it
        // squeezed the path: the explanation is the title, which every kind shows whole.
        auto* dialog = new QFileDialog(nullptr, request.message, request.startFolder);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setLabelText(QFileDialog::Accept, request.prompt);
        dialog->setAccessibleName(request.title);
        dialog->setAccessibleDescription(request.message);
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
