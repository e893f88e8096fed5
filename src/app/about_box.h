#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace kapitolo {

class ShellOpener;

// The about box "Info": title, version, the maker's notice and the terms of use.
class TInfoBox : public QDialog
{
    Q_OBJECT
public:
    TInfoBox(ShellOpener &shell, QWidget *parent = nullptr);

    // Every "%programmtitel%" replaced, left to right; replaced text is not scanned again.
    static QString termsText();

    QLabel *titelLabel() const { return m_titelLabel; }
    QLabel *versLab() const { return m_versLab; }
    QPlainTextEdit *memo() const { return m_memo; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    ShellOpener &m_shell;
    QLabel *m_titelLabel;
    QLabel *m_versLab;
    QPlainTextEdit *m_memo;
};

} // namespace kapitolo
