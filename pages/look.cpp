#include "pages/look.h"
#include "pages/accessible.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace look {

double latinAdvance(const QFont& font)
{
    // Letters, digits and the punctuation of the window's captions, averaged.
    static const char* const sample = "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz-:.";
    const QString text = QString::fromLatin1(sample);
    return QFontMetricsF(font).horizontalAdvance(text) / text.size();
}

QFont fittedToHalfEm(QFont font)
{
    const double em = QFontInfo(font).pixelSize();
    const double advance = latinAdvance(font);
    // A tenth of a pixel a letter is a pixel a caption: left alone below that.
    if (em > 0 && advance > 0 && std::abs(advance - em / 2) > 0.1)
        font.setStretch(std::clamp(int(std::lround(100.0 * (em / 2) / advance)), 50, 150));
    return font;
}

QFont songFont(double points, bool bold)
{
    QFont font(QStringLiteral("SimSun"));
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("serif")});
    font.setPointSizeF(points);
    font.setBold(bold);
    font = fittedToHalfEm(font);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QString plainTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpacePre) : text;
}

QRect FrameBox::captionRect() const
{
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(title().isEmpty() ? QString() : shownCaption(title()));
    return {6, 0, width + 4, metrics.height()};
}

void FrameBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& palette = this->palette();
    const QRect caption = captionRect();
    const int line = caption.height() / 2;
    const QRect border = rect().adjusted(0, line, -2, -2);
    // Etched: a shadow line and a light line one pixel below and to the right of it.
    painter.setPen(palette.color(QPalette::Light));
    painter.drawRect(border.translated(1, 1));
    painter.setPen(palette.color(QPalette::Mid));
    painter.drawRect(border);
    if (title().isEmpty())
        return;
    painter.fillRect(caption, palette.window());
    const auto draw = [&] {
        style()->drawItemText(&painter, caption.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, palette,
                              isEnabled(), shownCaption(title()), QPalette::WindowText);
    };
    if (!font().bold() || hasBoldFace(font())) {
        draw();
        return;
    }
    // A face without a bold of its own (SimSun, and each Song stand-in) is made bold by FreeType
    // only for glyphs it draws as bitmaps at whole pixels: at 150 % some captions came out regular,
    // some half bold. Struck twice, a whole device pixel apart, they are bold at every scale.
    QFont regular = font();
    regular.setBold(false);
    painter.setFont(regular);
    const qreal ratio = devicePixelRatioF();
    draw();
    painter.translate(std::max(1.0, std::floor(ratio)) / ratio, 0);
    draw();
}

bool hasBoldFace(const QFont& font)
{
    const QString family = QFontInfo(font).family();
    const QStringList styles = QFontDatabase::styles(family);
    return std::any_of(styles.begin(), styles.end(),
                       [&family](const QString& style) { return QFontDatabase::weight(family, style) >= QFont::Bold; });
}

namespace {

class ControlStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_RadioButtonLabelSpacing || metric == PM_CheckBoxLabelSpacing)
            return 3;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

QStyle* controlStyle(QObject* owner)
{
    auto* style = new ControlStyle;
    style->setParent(owner);
    return style;
}

}  // namespace look
