// The main dialog's window (template 102) on Qt Widgets. It owns the controls and
// hands every command, OK, Cancel and close request to the dialog handlers through
// DialogEvents; it never decides anything itself.
#pragma once

#include <QBrush>
#include <QDialog>
#include <functional>
#include <map>

#include "gui/common/dialog_events.h"
#include "gui/common/dialog_template.h"
#include "gui/qt/dialog_units.h"

namespace zelvar {

class CLoaderWindow : public QDialog {
    Q_OBJECT
  public:
    explicit CLoaderWindow(QWidget* parent = nullptr);

    void SetEvents(DialogEvents events) { m_events = std::move(events); }

    // The widget of control id (IDC_WINDOW: the dialog itself), or nullptr.
    QWidget* Control(int id) const;
    bool IsSorted(int id) const;
    const CDialogUnits& Units() const { return m_units; }

    // Ends the modal run as Cancel.
    void EndAsCancel();

    // Shows the share of a job done as control id's background fill and in the title
    // (kNoProgress: neither).
    void ShowProgress(int id, int percent);
    int ShownProgress() const { return m_progress; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;

  private:
    void CreateControls();
    void ConnectControl(int id, QWidget* widget);
    void SetLogo();
    void SendCommand(int id);

    CDialogUnits m_units;
    std::map<int, QWidget*> m_controls;
    DialogEvents m_events;
    bool m_centred = false;
    std::map<int, QBrush> m_plainBase;  // backgrounds before progress filled them
    int m_progress;
};

// The application icon (both sizes) and the logo picture, compiled into the program.
QIcon LoaderIcon();
QPixmap LoaderLogo();

}  // namespace zelvar
