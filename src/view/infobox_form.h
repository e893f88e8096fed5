#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;

namespace kapitolo {

class Messages;
class SaveFileDialog;

// The information window "Information": an info point's text rendered with its
// mark-up as a scrollable picture, beside the main window and without blocking it.
class TInfoboxForm : public QWidget
{
    Q_OBJECT
public:
    TInfoboxForm(SaveFileDialog &saveDialog, Messages &messages, QWidget *parent = nullptr);

    // Fills the window with the caption and shows it 6 pixels inside the top-right
    // corner of the main window's frame.
    void showInfoText(const QString &caption, const QRect &mainWindowFrame);

    const QStringList &lines() const { return m_lines; }
    const QImage &textImage() const { return m_image; }
    QScrollArea *scrollBox() const { return m_scrollBox; }
    // The rich-text copy that is printed, saved and copied: the text without tags.
    QByteArray richTextCopy() const;

    // The tallest the window gets; the bottom panel's height.
    static constexpr int kMaxHeight = 566;
    static constexpr int kPanelHeight = 41;

public Q_SLOTS:
    void DruckenBtnClick();
    void SpeichernBtnClick();
    void ZwischenablageBtnClick();
    void SchliessenBtnClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void scrollBy(int pixels);

    SaveFileDialog &m_saveDialog;
    Messages &m_messages;
    QScrollArea *m_scrollBox;
    QLabel *m_textImage;
    QWidget *m_panel;
    QStringList m_lines;
    QImage m_image;
    bool m_dragging = false;
    int m_dragStartY = 0;
    int m_dragStartValue = 0;
};

} // namespace kapitolo
