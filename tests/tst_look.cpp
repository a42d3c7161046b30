// How the window is drawn: nothing a control draws lands on another control or on a frame's border
// or caption, in every model's layout; and the face standing in for SimSun keeps SimSun's widths.
#include "pages/look.h"
#include "support/rig.h"
#include "support/shell.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

namespace {

bool isFrame(const QWidget* w) { return qobject_cast<const QGroupBox*>(w) != nullptr; }

// Which control drew each pixel of the window, with the first clash found.
struct Ink {
    QSize size;
    QList<QWidget*> owner;
    QString clash;

    explicit Ink(const QWidget* window) : size(window->size()), owner(size.width() * size.height(), nullptr) {}

    static bool apart(const QWidget* a, const QWidget* b)
    {
        // A frame inside another is drawn flush with its edges: their lines are one.
        const bool nested = isFrame(a) && isFrame(b) && (a->isAncestorOf(b) || b->isAncestorOf(a));
        return a && b && a != b && !nested;
    }
    QWidget* at(int x, int y) const
    {
        return x < 0 || y < 0 || x >= size.width() || y >= size.height() ? nullptr : owner[y * size.width() + x];
    }
    void mark(QWidget* who, const QPoint& p)
    {
        if (p.x() < 0 || p.y() < 0 || p.x() >= size.width() || p.y() >= size.height())
            return;
        QWidget*& here = owner[p.y() * size.width() + p.x()];
        if (apart(here, who))
            note(QStringLiteral("drawn over each other"), here, who, p);
        here = who;
    }
    // Two controls whose ink touches read as one: a caption running into the next circle. (A
    // control may come up to a frame's border, as the layout places buttons at frames' edges.)
    void touching()
    {
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                for (QWidget* next : {at(x + 1, y), at(x, y + 1)})
                    if (apart(at(x, y), next) && !isFrame(at(x, y)) && !isFrame(next))
                        note(QStringLiteral("touching"), at(x, y), next, {x, y});
    }
    void note(const QString& what, const QWidget* a, const QWidget* b, const QPoint& p)
    {
        if (clash.isEmpty())
            clash = QStringLiteral("%1 and %2 %3 at (%4, %5)")
                        .arg(a->objectName(), b->objectName(), what)
                        .arg(p.x())
                        .arg(p.y());
    }
};

// Every pixel the widget paints itself that is not the window's plain background; a frame without
// its controls (its border lines and caption).
void markInk(Ink& ink, QWidget* window, QWidget* widget, QWidget::RenderFlags flags)
{
    QImage image(widget->size(), QImage::Format_RGB32);
    widget->render(&image, QPoint(), QRegion(), flags);
    const QRgb background = widget->palette().color(QPalette::Window).rgb();
    const QPoint origin = widget->mapTo(window, QPoint(0, 0));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                ink.mark(widget, origin + QPoint(x, y));
}

// Pixels clearly darker than the first one, the background: a caption's ink, also a greyed one.
int ink(const QImage& image)
{
    const int background = qGray(image.pixel(0, 0));
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qGray(image.pixel(x, y)) < background - 40;
    return n;
}

}  // namespace

class LookTest : public QObject {
    Q_OBJECT

private slots:
    void songFaceKeepsSimSunsHalfWidthLetters_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("the window's own choice") << QString();
        QTest::newRow("a wide serif face") << "DejaVu Serif";
        QTest::newRow("a wide fixed face") << "Liberation Mono";
    }
    void songFaceKeepsSimSunsHalfWidthLetters()
    {
        QFETCH(QString, family);
        for (bool bold : {false, true}) {
            QFont font = look::songFont(9, bold);
            if (!family.isEmpty()) {
                font.setFamilies({family});
                font.setStretch(QFont::AnyStretch);
                font = look::fittedToHalfEm(font);
            }
            const double em = QFontInfo(font).pixelSize();
            QVERIFY2(qAbs(look::latinAdvance(font) - em / 2) < 0.25,
                     qPrintable(QString("%1: %2 px a letter at %3 px").arg(QFontInfo(font).family())
                                    .arg(look::latinAdvance(font)).arg(em)));
            // "Pulse Arm" is nine letters: it ends where SimSun's ends.
            QVERIFY(qAbs(QFontMetricsF(font).horizontalAdvance("Pulse Arm") - 9 * em / 2) < 2.5);
        }
    }

    // Captions that ran under the next control ("Low" under its Apply, "Min" into the "Hour"
    // circle), frame borders through option circles and buttons, nested captions over rows.
    void nothingDrawnOverAnotherControlOrAFrame_data()
    {
        QTest::addColumn<QString>("model");
        for (const char* model : {"Option6", "Option7", "Option8", "Option9"})
            QTest::newRow(model) << model;
    }
    void nothingDrawnOverAnotherControlOrAFrame()
    {
        QFETCH(QString, model);
        ShownRig r;
        r.hands.click(model);
        r.hands.type("Text21", "030");   // the interval box with digits in it
        Ink ink(&r.form);
        for (QWidget* w : r.form.findChildren<QWidget*>()) {
            if (!w->isVisibleTo(&r.form) || w->objectName().isEmpty())
                continue;
            if (isFrame(w))
                markInk(ink, &r.form, w, QWidget::DrawWindowBackground);
            else if (isFrame(w->parentWidget()) || w->parentWidget() == &r.form)
                markInk(ink, &r.form, w, QWidget::DrawWindowBackground | QWidget::DrawChildren);
        }
        ink.touching();
        QVERIFY2(ink.clash.isEmpty(), qPrintable(ink.clash));
    }

    // Drawn at the desktop's scale (this test runs again at 150 %): PORT-SET and the frames inside it
    // keep their bold captions, the monitor its bottom border over the status bar, and "Door-level"
    // the face the layout gives it, as the other labels of its kind.
    void boldCaptionsAreDrawnBold_data() { nothingDrawnOverAnotherControlOrAFrame_data(); }
    void boldCaptionsAreDrawnBold()
    {
        QFETCH(QString, model);
        WindowShell s;
        s.hands.click(model);
        for (const char* name : {"Frame5", "Frame7", "Frame8", "Frame9"}) {
            auto* frame = s.window.findChild<look::FrameBox*>(name);
            if (!frame->isVisibleTo(&s.window) || frame->visibleRegion().isEmpty())
                continue;
            QVERIFY(frame->font().bold());
            const QRect caption(frame->mapTo(&s.window, frame->captionRect().topLeft()), frame->captionRect().size());
            const int bold = ink(s.window.grab(caption).toImage());
            QFont regular = frame->font();
            regular.setBold(false);
            frame->setFont(regular);
            const int thin = ink(s.window.grab(caption).toImage());
            QVERIFY2(bold >= thin * 3 / 2, qPrintable(QString("%1: %2 dark pixels bold, %3 regular").arg(name).arg(bold).arg(thin)));
        }
    }

    void theMonitorKeepsItsBorderAboveTheStatusBar_data() { nothingDrawnOverAnotherControlOrAFrame_data(); }
    void theMonitorKeepsItsBorderAboveTheStatusBar()
    {
        QFETCH(QString, model);
        WindowShell s;
        MainWindow& window = s.window;
        Hands& hands = s.hands;
        hands.click(model);
        QWidget* monitor = hands.at("Text24");
        QVERIFY(window.statusBar()->geometry().top() >= monitor->mapTo(&window, QPoint(0, monitor->height())).y());
        const QImage image = window.grab().toImage();
        const double ratio = image.devicePixelRatio();
        const QPoint corner = monitor->mapTo(&window, QPoint(0, 0));
        const int bottom = int((corner.y() + monitor->height()) * ratio);
        // Across the text area, left of the scroll bar: some row of the last few is the border's.
        for (int x = corner.x() + 20; x < corner.x() + monitor->width() - 40; x += 50) {
            bool border = false;
            for (int y = bottom - 3; y < bottom + 1; ++y)
                border = border || qGray(image.pixel(int(x * ratio), y)) < 200;
            QVERIFY2(border, qPrintable(QString("no border under the monitor at x = %1").arg(x)));
        }
    }

    void doorLevelIsDrawnInTheFaceOfTheLayout()
    {
        ShownRig r;
        r.hands.click("Option7");   // PORT-SET usable
        auto* label23 = r.w<QLabel>("Label23");
        // Drawn as a label of the same font outside PORT-SET ("LOW BAT") would draw it.
        QLabel same(label23->text());
        same.setFont(r.w<QLabel>("Label9")->font());
        same.resize(label23->size());
        same.setAlignment(label23->alignment());
        QCOMPARE(label23->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 same.grab().toImage().convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(LookTest)
#include "tst_look.moc"
