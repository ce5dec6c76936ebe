#include "App/AppInfo.h"

#ifndef QUILLABY_VERSION
#define QUILLABY_VERSION ""
#endif
#ifndef QUILLABY_BUILD
#define QUILLABY_BUILD ""
#endif

namespace Quillaby {

QString AppInfo::valueOr(const char* value, const char* fallback) {
    QString text = QString::fromUtf8(value ? value : "");
    return text.isEmpty() ? QString::fromUtf8(fallback) : text;
}

QString AppInfo::shortVersion() {
    return valueOr(QUILLABY_VERSION, "0.0.0");
}

QString AppInfo::build() {
    return valueOr(QUILLABY_BUILD, "dev");
}

} // namespace Quillaby
