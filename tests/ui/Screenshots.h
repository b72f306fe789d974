#pragma once

#include <QString>

namespace kestrel::uitest {

// Saves the main window on each of its five pages as page-0.png .. page-4.png in `folder`.
int SaveScreenshots(const QString& folder);

}  // namespace kestrel::uitest
