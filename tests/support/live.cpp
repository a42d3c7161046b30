#include "support/live.h"

bool LiveWindow::open(bool realBoxes)
{
    if (!up())
        return false;
    form = realBoxes ? std::make_unique<Form2>() : std::make_unique<Form2>(&port, &prompt);
    form->port().setNumber(4);
    form->Command5_Click();
    return form->port().isOpen();
}
