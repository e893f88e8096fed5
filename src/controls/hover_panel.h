#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMargins>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

class QFontMetrics;
class QPainter;

namespace kapitolo {

// Per channel nearest((1 - x) * a + x * b): the shades of the bevel and of the flat
// checked line are derived from plain RGB values with this rule.
QColor mixColors(const QColor &a, const QColor &b, double x);

// A caption broken into lines the way the panel draws it: at blanks only (never after
// a hyphen, which is why fitting inserts blanks after hyphens), explicit line breaks
// kept, tabs expanded. A word wider than the width stays whole and makes the text wider.
struct CaptionLines {
    QStringList lines;
    QSize size; // widest line, lines x line spacing
};
CaptionLines breakCaption(const QString &text, const QFontMetrics &metrics, int width, bool wordWrap);

struct FittedCaption {
    QFont font;
    QString text;
};

// Shrinks the font point by point down to minPointSize until the caption fits the
// available size; failing that, lets it break after hyphens and shrinks on; failing
// that, drops words from the end and appends " ..." (or "..." when no word is left).
// An empty caption comes back unchanged. Measures with the screen's resolution unless
// a paint device is given.
FittedCaption fitCaption(const QString &text, const QFont &font, QSize available, bool wordWrap,
                         int minPointSize, const QPaintDevice *device = nullptr);

// The panel button of the tool strips, the navigation and the quiz panels: a panel
// that lights up under the mouse, shows a checked state, can carry a background
// picture, pads and shrinks its caption, and can be clicked from the keyboard.
class THoverPanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor normColor READ normColor WRITE setNormColor)
    Q_PROPERTY(QColor hoverColor READ hoverColor WRITE setHoverColor)
    Q_PROPERTY(QColor checkColor READ checkColor WRITE setCheckColor)
    Q_PROPERTY(QColor normFontColor READ normFontColor WRITE setNormFontColor)
    Q_PROPERTY(QColor checkFontColor READ checkFontColor WRITE setCheckFontColor)
    Q_PROPERTY(bool checkFontBold READ checkFontBold WRITE setCheckFontBold)
    Q_PROPERTY(bool checked READ isChecked WRITE setChecked)
    Q_PROPERTY(bool hoverActive READ hoverActive WRITE setHoverActive)
    Q_PROPERTY(bool xpCheck READ xpCheck WRITE setXPCheck)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(bool wordWrap READ wordWrap WRITE setWordWrap)
    Q_PROPERTY(bool fontAutoSize READ fontAutoSize WRITE setFontAutoSize)
    Q_PROPERTY(int minFontSize READ minFontSize WRITE setMinFontSize)
    Q_PROPERTY(QMargins padding READ padding WRITE setPadding)
    Q_PROPERTY(QImage bitmap READ bitmap WRITE setBitmap)
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(int borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(int bevelWidth READ bevelWidth WRITE setBevelWidth)
    Q_PROPERTY(bool tabStop READ tabStop WRITE setTabStop)
    Q_PROPERTY(QColor fontColor READ fontColor WRITE setFontColor)

public:
    enum class CaptionLayout { Top, Center, Bottom };
    enum class Bevel { None, Raised };

    explicit THoverPanel(QWidget *parent = nullptr);

    QColor normColor() const { return m_normColor; }
    void setNormColor(const QColor &color);
    QColor hoverColor() const { return m_hoverColor; }
    void setHoverColor(const QColor &color);
    QColor checkColor() const { return m_checkColor; }
    void setCheckColor(const QColor &color);
    QColor normFontColor() const { return m_normFontColor; }
    void setNormFontColor(const QColor &color);
    QColor checkFontColor() const { return m_checkFontColor; }
    void setCheckFontColor(const QColor &color);
    bool checkFontBold() const { return m_checkFontBold; }
    void setCheckFontBold(bool on);
    bool isChecked() const { return m_checked; }
    void setChecked(bool on);
    bool hoverActive() const { return m_hoverActive; }
    void setHoverActive(bool on);
    bool xpCheck() const { return m_xpCheck; }
    void setXPCheck(bool on);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on);
    bool fontAutoSize() const { return m_fontAutoSize; }
    void setFontAutoSize(bool on);
    int minFontSize() const { return m_minFontSize; }
    void setMinFontSize(int points);
    // QWidget::layout() is taken by the layout manager, hence the longer name.
    CaptionLayout captionLayout() const { return m_captionLayout; }
    void setCaptionLayout(CaptionLayout layout);
    QMargins padding() const { return m_padding; }
    void setPadding(const QMargins &padding);
    QImage bitmap() const { return m_bitmap; }
    void setBitmap(const QImage &bitmap);

    // The panel underneath.
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    // Horizontal only: Qt::AlignLeft, Qt::AlignHCenter or Qt::AlignRight.
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);
    int borderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);
    Bevel bevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(Bevel bevel);
    int bevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int width);
    bool tabStop() const { return m_tabStop; }
    void setTabStop(bool on);
    // The colour the caption is drawn in now; Checked switches it between the two font colours.
    QColor fontColor() const { return m_fontColor; }
    void setFontColor(const QColor &color);
    // The background in effect now; the colour rule overwrites it at the next state change.
    QColor backgroundColor() const { return m_color; }
    void setBackgroundColor(const QColor &color);

    bool isHovered() const { return m_hover; }

    QSize sizeHint() const override;

Q_SIGNALS:
    // Left button down, after the panel has taken the focus.
    void pressed();
    // Left button released inside after a press, or Enter or Space while focused.
    void clicked();
    void mouseEntered();
    void mouseLeft();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void updateBackground();
    QSize measureSizeHint() const;
    void drawBevel(QPainter &painter, QRect &r) const;
    void drawFocusRect(QPainter &painter) const;

    QColor m_normColor;
    QColor m_hoverColor{255, 255, 0};
    QColor m_checkColor{255, 255, 255};
    QColor m_normFontColor{Qt::black};
    QColor m_checkFontColor{Qt::black};
    bool m_checkFontBold = false;
    bool m_checked = false;
    bool m_hoverActive = true;
    bool m_xpCheck = true;
    QColor m_borderColor{Qt::black};
    bool m_wordWrap = false;
    bool m_fontAutoSize = false;
    int m_minFontSize = 7;
    CaptionLayout m_captionLayout = CaptionLayout::Center;
    QMargins m_padding;
    QImage m_bitmap;

    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignHCenter;
    int m_borderWidth = 0;
    Bevel m_bevelOuter = Bevel::Raised;
    int m_bevelWidth = 1;
    bool m_tabStop = false;
    QColor m_fontColor{Qt::black};
    QColor m_color;

    mutable QString m_sizeHintKey;
    mutable QSize m_sizeHint;
    bool m_hover = false;
    bool m_focused = false;
    bool m_pressed = false;
};

// The name a screen reader gives the panel: its accessible name if set, else its caption
// on one line, else (for a caption of symbols only) its hint.
QString accessibleCaptionName(const THoverPanel &panel);

// The look of every tool button of the main window's panels (and of its "?" button):
// a thin grey border, warm light grey, brighter under the mouse, white and black when
// checked, with the flat checked line.
void styleToolButton(THoverPanel &button);

} // namespace kapitolo
