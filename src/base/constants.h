#pragma once
// The program's fixed names and limits.
#include <QString>

namespace base {

// Memo text longer than this moves into a scratch file in Win9x mode.
constexpr qsizetype kMemoOverflowLimit = 64000;

inline const QString kCaptureFile = QStringLiteral("capture.tmp");
inline const QString kDebugFile = QStringLiteral("debug.tmp");

// The project's address (the one CMake setting), shown in the About box,
// the download hints and the package.
inline const QString kHomePage = QStringLiteral(SPINDLE_HOMEPAGE);

} // namespace base
