// Dialog units on Qt: the shared unit rules (gui/common/dialog_units.h) measured with
// the desktop font that stands in for the template's.
#pragma once

#include <QFont>
#include <QRect>

#include "gui/common/dialog_template.h"
#include "gui/common/dialog_units.h"

namespace zelvar {

class CDialogUnits {
  public:
    explicit CDialogUnits(const QFont& font, double unitScale = kDesktopUnitScale);

    int X(int units) const { return m_scale.X(units); }
    int Y(int units) const { return m_scale.Y(units); }
    QRect ToPixels(const DialogRect& rect) const;
    QSize DialogSize(const DialogTemplate& tmpl) const;

    int AverageCharWidth() const { return m_scale.CharWidth(); }
    int CharHeight() const { return m_scale.CharHeight(); }

  private:
    CDialogUnitScale m_scale;
};

// The font a template is shown in on this desktop: the application's font family (the
// template's own families do not exist here) at the template's size, enlarged.
QFont DialogFont(const DialogTemplate& tmpl);

}  // namespace zelvar
