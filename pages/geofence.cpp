// Frame4 "GEO-FENCE": five fences whose switch and side live in their check boxes' captions; the
// rows' commands read them (core/rows.cpp).
#include "core/commands.h"
#include "pages/form2.h"

void Form2::FenceSwitch_Click(int fence)
{
    const QString name = QStringLiteral("Check_d%1_on").arg(fence);
    setCaption(name, fence::toggledSwitch(caption(name)));
}

void Form2::FenceSide_Click(int fence)
{
    const QString name = QStringLiteral("Check_d%1_in").arg(fence);
    setCaption(name, fence::toggledSide(caption(name)));
}

void Form2::Command29_Click() { applyRow("Command29"); }
void Form2::Command30_Click() { applyRow("Command30"); }
void Form2::Command31_Click() { applyRow("Command31"); }
void Form2::Command32_Click() { applyRow("Command32"); }
void Form2::Command33_Click() { applyRow("Command33"); }
