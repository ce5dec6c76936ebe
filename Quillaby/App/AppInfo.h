#pragma once

#include <QString>

namespace Quillaby {

// The version strings shown in the About tab and sent with feedback and update checks, compiled in by
// the build (QUILLABY_VERSION, and QUILLABY_BUILD when the build names one).
class AppInfo {
public:
    // The release version, "0.0.0" when the build gave none.
    static QString shortVersion();
    // The build number, "dev" when the build gave none.
    static QString build();

    // The value, or the fallback when it is empty.
    static QString valueOr(const char* value, const char* fallback);
};

} // namespace Quillaby
