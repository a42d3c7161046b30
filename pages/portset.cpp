// Frame5 "PORT-SET": door level, arm function and the line function, whose captions follow the
// model ("Port11"/"Port8" on Condor, "ARMIN"/"IN-OUT" on Falcon); their commands are in
// core/rows.cpp.
#include "pages/form2.h"

void Form2::Command34_Click() { applyRow("Command34"); }
void Form2::Command35_Click() { applyRow("Command35"); }
// The arm function, then (on "Condor" only) the line function.
void Form2::Command36_Click() { write("Command36"); }

void Form2::setArmInputCaption(const char* condor, const char* falcon)
{
    if (selected("Option7"))
        setCaption("Frame8", QString::fromLatin1(condor));
    else if (selected("Option8"))
        setCaption("Frame8", QString::fromLatin1(falcon));
}

void Form2::Option14_Click()
{
    setTxt("Label25", QString());
    visible("Frame9", true);
    setArmInputCaption("Port11 Input Level Select", "ARMIN Input Level Select");
}

void Form2::Option13_Click()
{
    setTxt("Label25", QString());
    visible("Frame9", true);
    setArmInputCaption("Port11 Arm Input Level Select", "ARMIN Arm Input Level Select");
}

void Form2::Option15_Click()
{
    setCaption("Frame8", QStringLiteral("Pulse Polarity Select"));
    visible("Frame9", false);
    const bool condor = selected("Option7"), falcon = selected("Option8");
    if (!condor && !falcon)
        return;
    setTxt("Label24", condor ? QStringLiteral("Port11 Pulse") : QStringLiteral("ARMIN Pulse"));
    setCaption("Option16", QStringLiteral("POS"));
    setCaption("Option17", QStringLiteral("NEG"));
    describePulse();
}

void Form2::Option16_Click()
{
    describePulse();
}

void Form2::Option17_Click()
{
    describePulse();
}

void Form2::describePulse()
{
    if (!selected("Option15"))
        return;
    const bool positive = selected("Option16");
    if (selected("Option7"))
        setTxt("Label25", positive ? QStringLiteral("Port11 Is Positive Pulse Arm Fun,\r\nPort8 Is Negative Pulse Disarm Fun")
                                   : QStringLiteral("Port11 Is Negative Pulse Arm Fun,\r\nPort8 Is Positive Pulse Disarm Fun"));
    else if (selected("Option8"))
        setTxt("Label25", positive ? QStringLiteral("ARMIN Is Positive Pulse Arm Fun,\r\nIN-OUT Is Negative Pulse Disarm Fun")
                                   : QStringLiteral("ARMIN Is Negative Pulse Arm Fun,\r\nIN-OUT Is Positive Pulse Disarm Fun"));
}
