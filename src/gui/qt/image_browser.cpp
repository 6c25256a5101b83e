#include "gui/qt/image_browser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace zelvar {

namespace {

// The old dialogs' "all files" pattern; on Linux "*.*" would skip names without a dot.
QString LinuxPatterns(const QString& patterns) {
    QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : list) {
        pattern = pattern.trimmed();
        if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    }
    return list.join(QLatin1Char(' '));
}

// The patterns Qt reads out of a shown text: the last "(...)" group.
QString ShownPatterns(const QString& text) {
    int open = text.lastIndexOf(QLatin1Char('('));
    if (open < 0 || !text.endsWith(QLatin1Char(')'))) return {};
    return text.mid(open + 1, text.size() - open - 2).trimmed();
}

}  // namespace

QStringList ToQtNameFilters(const char* filter) {
    QStringList parts = QString::fromUtf8(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& text = parts[i];
        if (text.isEmpty()) break;  // the closing "||"
        QString patterns = LinuxPatterns(parts[i + 1]);
        filters << (ShownPatterns(text) == patterns ? text
                                                    : text + QStringLiteral(" (%1)").arg(patterns));
    }
    return filters;
}

bool BrowseForImage(QWidget* owner, std::string& path, const char* title, const char* filter) {
    QFileDialog dialog(owner, QString::fromUtf8(title));
    dialog.setObjectName(QStringLiteral("imageBrowser"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilters(ToQtNameFilters(filter));
    QFileInfo initial(QString::fromStdString(path));
    if (!path.empty()) {
        if (initial.dir().exists()) dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    path = QDir::toNativeSeparators(chosen.first()).toStdString();
    return true;
}

}  // namespace zelvar
