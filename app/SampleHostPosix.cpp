#include <QFileInfo>

#include "app/SampleHost.h"

// A pseudo-terminal the simulator creates, linked into the data folder.
TSampleHostLine SampleHostLine(const QString& folder) {
    const QString link = folder + QStringLiteral("/trevalon-host.port");
    return {true, {QStringLiteral("--link"), link}, link,
            [link](const QString&) { return QFileInfo::exists(link); }, false, {}};
}
