#pragma once

#include "store/port_store.h"

namespace vantu {

// The store's folder chooser as a non-modal directory dialog: it returns at once and answers
// when the user confirms or cancels.
FolderChooser folderChooserDialog();

}  // namespace vantu
