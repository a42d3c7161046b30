#include "support/live.h"

bool LiveWindow::open()
{
    if (!up())
        return false;
    port.setNumber(4);
    form = std::make_unique<Form2>(&port, &prompt);
    form->Command5_Click();
    return port.isOpen();
}
