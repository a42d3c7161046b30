// Frame6 "Model-Select": the tracker model lays out the other frames.
#include "pages/form2.h"
#include "pages/layout.h"

#include <QWidget>

namespace {
const char* const kOdometerRow[] = {"Label22", "Text18", "Command28"};
const char* const kFuelRow[] = {"Text16", "Label19", "Command38"};
const char* const kShakeRow[] = {"Text32", "Label33", "Command39"};
}  // namespace

void Form2::enableRow(const char* const (&row)[3], bool on)
{
    for (const char* name : row)
        enable(name, on);
}

void Form2::setFrame8Place()
{
    QWidget* frame8 = ctl("Frame8");
    frame8->setGeometry(frame8->x(), layout::px(600), frame8->width(), layout::px(2055));
}

// The rows of OTHER-SET that a model offers: the fuel table with its check box, and on Harrier
// also the shake step and the odometer. The password row waits for its check box again.
void Form2::layoutOtherSet(bool fuel, bool harrier)
{
    enableRow(kOdometerRow, harrier);
    enableRow(kFuelRow, fuel);
    enableRow(kShakeRow, harrier);
    enable("Check1", fuel);
    if (fuel) {
        setChecked("Check1", false);
        enable("Command38", false);
    }
    setChecked("Check2", false);
    enable("Command11", false);
}

void Form2::showTestFrame(bool on)
{
    enable("Frame10", on);
    visible("Frame10", on);
}

void Form2::keysToModel()
{
    // The keys start at the top, on the model, also when the window or a profile changed it and a
    // control that held them went away: otherwise Qt gives them to the first control built that
    // takes focus, "Initialize ALL".
    for (const char* option : {"Option6", "Option7", "Option8", "Option9"})
        if (selected(QLatin1String(option)))
            ctl(QLatin1String(option))->setFocus(Qt::OtherFocusReason);
}

void Form2::Option6_Click()
{
    enable("Frame5", false);
    visible("Frame5", true);
    showTestFrame(false);
    layoutOtherSet(false, false);
    keysToModel();
}

// Condor and Falcon share the port-function page; they name its lines differently.
void Form2::layoutPortPage(const PortCaptions& c)
{
    select("Option14");
    setFrame8Place();
    enable("Frame5", true);
    visible("Frame5", true);
    setCaption("Frame8", QString::fromLatin1(c.frame8));
    setTxt("Label24", QString::fromLatin1(c.label24));
    setCaption("Frame9", QString::fromLatin1(c.frame9));
    setCaption("Option20", QString::fromLatin1(c.option20));
    setCaption("Option19", QString::fromLatin1(c.option19));
    setCaption("Option18", QString::fromLatin1(c.option18));
    select(QString::fromLatin1(c.selected));
}

void Form2::Option7_Click()
{
    layoutPortPage({"Port11 Input Level Select", "Port11-Level", "Port8 Fun Select", "CALL  Fun: Call Out 4 TEL NO.",
                    "Input Fun: Hight Level", "Input Fun: Low Level", "Option20"});
    showTestFrame(false);
    layoutOtherSet(false, false);
    keysToModel();
}

void Form2::Option8_Click()
{
    layoutPortPage({"ARMIN Input Level Select", "ARMIN-Level", "IN-OUT Fun Select", "Input  Fun: Hight Level",
                    "Input  Fun: Low Level", "Output Fun: OC", "Option19"});
    showTestFrame(false);
    layoutOtherSet(true, false);
    keysToModel();
}

void Form2::Option9_Click()
{
    visible("Frame5", false);
    showTestFrame(true);
    layoutOtherSet(true, true);
    keysToModel();
}
