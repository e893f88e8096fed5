#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace kapitolo {

class FileDialogs;
class Messages;

// "Ordner für Protokolle und Bestenlisten": both result folders, checked on OK.
class TBestListVerzForm : public QDialog
{
    Q_OBJECT
public:
    TBestListVerzForm(Messages &messages, FileDialogs &fileDialogs, QWidget *parent = nullptr);

    // Before exec(): the current settings. After an accepted exec(): the checked folders,
    // each ending with a separator.
    void setFolders(const QString &protocolFolder, const QString &bestListFolder);
    QString protocolFolder() const { return m_protocolFolder; }
    QString bestListFolder() const { return m_bestListFolder; }

    void ProtVerzAuswBtnClick();
    void BestListVerzAuswBtnClick();
    // Completes and checks the fields; accepts the dialog when both are folders.
    void OKBtnClick();

    QLineEdit *ProtVerzEdit1 = nullptr;
    QLineEdit *BestListVerzEdit1 = nullptr;
    QPushButton *ProtVerzAuswBtn = nullptr;
    QPushButton *BestListVerzAuswBtn = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *AbbrBtn = nullptr;

private:
    void browse(QLineEdit *edit, const QString &title);

    Messages &m_messages;
    FileDialogs &m_fileDialogs;
    QString m_protocolFolder;
    QString m_bestListFolder;
};

} // namespace kapitolo
