#include "core/project_metadata.h"

#include "core/process_identity.h"

namespace vantu {

QString ProjectMetadata::nameSource() const {
    if (isUserSelected) {
        return QStringLiteral("Project folder selected by you");
    }
    if (manifest) {
        return QStringLiteral("Name from package.json");
    }
    return QStringLiteral("Folder name (inferred) \u2014 choose a project folder to correct it");
}

size_t qHash(const ProjectMetadata& project, size_t seed) noexcept {
    seed = qHashMulti(seed, project.name, project.directory);
    seed = qHashOptional(project.manifest, seed);
    return qHashMulti(seed, project.hasProjectEvidence, project.isUserSelected);
}

}  // namespace vantu
