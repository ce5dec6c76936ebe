#include "Services/MachineIdentifier.h"

#include <QCryptographicHash>
#include <QSysInfo>

namespace Quillaby {

QString MachineIdentifier::fromMachineId(const QByteArray& machineId) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView("quillaby-machine-id:"));
    hash.addData(machineId.trimmed());
    return QString::fromLatin1(hash.result().toHex().left(32));
}

QString MachineIdentifier::value() {
    static const QString identifier = [] {
        QByteArray id = QSysInfo::machineUniqueId();
        if (id.trimmed().isEmpty()) id = QSysInfo::machineHostName().toUtf8();
        return fromMachineId(id);
    }();
    return identifier;
}

} // namespace Quillaby
