#include "core/project_metadata.h"
#include <QCoreApplication>

#include "core/process_identity.h"

namespace vantu {

QString ProjectMetadata::nameSource() const {
    if (isUserSelected) {
        return QCoreApplication::translate("ProjectMetadata", "Project folder selected by you");
    }
    if (manifest) {
        return QCoreApplication::translate("ProjectMetadata", "Name from package.json");
    }
    return QCoreApplication::translate("ProjectMetadata",
                                       "Folder name (inferred) — choose a project folder to correct it");
}

size_t qHash(const ProjectMetadata& project, size_t seed) noexcept {
    seed = qHashMulti(seed, project.name, project.directory);
    seed = qHashOptional(project.manifest, seed);
    return qHashMulti(seed, project.hasProjectEvidence, project.isUserSelected);
}

}  // namespace vantu
