// Renders the main dialog in both layouts (the loader layout also part way through
// programming) and the About box to PNG files, offscreen, so the dialogs can be looked
// at without a display.
#pragma once

#include <QString>
#include <QStringList>

namespace zelvar {

// Writes loader.png, programming.png, terminal.png and about.png into directory (which must exist);
// returns the files written, empty on failure. A QApplication must exist.
QStringList SaveScreenshots(const QString& directory);

}  // namespace zelvar
