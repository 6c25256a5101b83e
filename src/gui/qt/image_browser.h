// The save-kind file dialog that picks the firmware image: it accepts a name that need
// not exist yet and never asks about overwriting.
#pragma once

#include <QStringList>
#include <string>

class QWidget;

namespace zelvar {

// "Text(*.a)|*.a|All(*.*)|*.*||" as Qt name filters. The shown text is kept; where its
// own patterns would not select the same files on Linux ("*.*" needs a dot here), the
// real patterns follow it in parentheses.
QStringList ToQtNameFilters(const char* filter);

// Runs the dialog modally, owned by owner. path holds the initial name and receives
// the chosen full path; false when the user cancelled.
bool BrowseForImage(QWidget* owner, std::string& path, const char* title, const char* filter);

}  // namespace zelvar
