// The About box (template 135): a title line and a read-only text, filled in before
// the box is shown.
#pragma once

#include <QDialog>
#include <string>

namespace zelvar {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    std::string m_title;
    std::string m_text;

    // Writes m_title and m_text into the controls (the data exchange), then runs modally.
    int exec() override;
    void ExchangeData();

    QWidget* Control(int id) const;
};

}  // namespace zelvar
