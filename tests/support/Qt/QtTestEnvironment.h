#pragma once

#include <QString>

namespace QuillabyTest {

// The private HOME of this test binary (XDG_DATA_HOME and XDG_CONFIG_HOME lie inside it), made before
// the application object so no test can touch the user's own settings or skins.
QString testHome();

// Prepares the process for Qt tests: a private HOME, then the platform ("offscreen" or "xcb").
void prepareQtTestProcess(const char* platform);

} // namespace QuillabyTest
