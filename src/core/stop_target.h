#pragma once

#include "core/listener.h"
#include "core/process_group.h"
#include "core/process_identity.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantu {

// What a row's Stop ends: one process, the process group it runs in, the user unit that runs
// it, the container that publishes its port, or that container's compose project. Each kind
// knows which rows it covers, which processes or containers must end for the stop to be done,
// and what is left to force when some outlive the polite stop.
class StopTarget {
public:
    enum class Kind { process, processGroup, userUnit, container, composeProject };

    // `name` is how the process is called in sentences, such as "shop (node, PID 4242)".
    static StopTarget process(const ProcessIdentity& identity, QString name);
    static StopTarget processGroup(ProcessGroup group);
    // The unit the group's processes run in; `group.unit` must be set.
    static StopTarget userUnit(ProcessGroup group);
    static StopTarget container(EngineContainer container);
    // Every running container of the compose project `project`.
    static StopTarget composeProject(QString project, QList<EngineContainer> containers);

    [[nodiscard]] Kind kind() const { return kind_; }
    // The processes that must end for the stop to count as done.
    [[nodiscard]] const QList<ProcessIdentity>& processes() const { return processes_; }
    // For a group or a unit: the group as last read.
    [[nodiscard]] const std::optional<ProcessGroup>& group() const { return group_; }
    // For a container or a compose project: the containers that must end.
    [[nodiscard]] const QList<EngineContainer>& containers() const { return containers_; }
    [[nodiscard]] bool stopsContainer(const QString& id) const;
    [[nodiscard]] bool isContainers() const { return kind_ == Kind::container || kind_ == Kind::composeProject; }
    // "shop (node, PID 4242)", "npm run dev (PID 1200, 4 processes)", "api.service",
    // "shop_web_1", "compose project shop".
    [[nodiscard]] QString description() const;
    // Whether the listener's row is one of those this target stops.
    [[nodiscard]] bool covers(const Listener& listener) const;
    // Whether the two would stop something in common.
    [[nodiscard]] bool overlaps(const StopTarget& other) const;
    // What a forced stop ends once only `survivors` are left of this target (for containers: the
    // containers of `runningContainers`, by id); nullopt when this kind is not forced (a unit's
    // manager decides how its processes end) or nothing is left.
    [[nodiscard]] std::optional<StopTarget> remainder(const QList<ProcessIdentity>& survivors,
                                                      const QStringList& runningContainers = {}) const;

    friend bool operator==(const StopTarget&, const StopTarget&) = default;

private:
    StopTarget(Kind kind, QList<ProcessIdentity> processes, std::optional<ProcessGroup> group, QString name);

    Kind kind_;
    QList<ProcessIdentity> processes_;
    std::optional<ProcessGroup> group_;
    QString name_;
    QList<EngineContainer> containers_;
};

}  // namespace vantu
