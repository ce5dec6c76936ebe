#pragma once

#include <QByteArray>
#include <QString>

namespace Quillaby {

// A stable identifier of this machine for the web service: the system's machine id (or, without one,
// the host name) hashed with a key of our own, so the raw id never leaves the machine and cannot be
// matched with what other programs send. 32 lower-case hexadecimal digits. Safe from any thread.
class MachineIdentifier {
public:
    static QString value();
    // The hash of a given machine id; the same id always gives the same text.
    static QString fromMachineId(const QByteArray& machineId);
};

} // namespace Quillaby
