// Frame4 "GEO-FENCE": five fences whose switch and side live in their check boxes' captions.
#include "link/commands.h"
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

void Form2::FenceApply_Click(int fence)
{
    if (!engine_->prologue())
        return;
    dispatch(offset(Code::Fence1, fence - 1),
             fence::apply(fence, caption(QStringLiteral("Check_d%1_on").arg(fence)),
                          caption(QStringLiteral("Check_d%1_in").arg(fence)),
                          txt(QStringLiteral("Text%1").arg(9 + fence))));
}

void Form2::wireGeofence()
{
    for (int fence = 1; fence <= 5; ++fence) {
        onToggle(QStringLiteral("Check_d%1_on").arg(fence), [this, fence] { FenceSwitch_Click(fence); });
        onToggle(QStringLiteral("Check_d%1_in").arg(fence), [this, fence] { FenceSide_Click(fence); });
        onClick(QStringLiteral("Command%1").arg(28 + fence), [this, fence] { FenceApply_Click(fence); });
        engine_->setRule(offset(Code::Fence1, fence - 1),
                         [this](const QString&) { engine_->acknowledge(text::kOk); });
    }
}
