// Frame1 "GPRS-SET": the APN, server, HTTP and interval rows and the GPRS write chain. Their
// commands are the rows and the chain "Command2" of core/rows.cpp.
#include "pages/form2.h"

void Form2::Command10_Click() { applyRow("Command10"); }
void Form2::Command12_Click() { applyRow("Command12"); }
void Form2::Command21_Click() { applyRow("Command21"); }
void Form2::Command22_Click() { applyRow("Command22"); }
void Form2::Command23_Click() { applyRow("Command23"); }
void Form2::Command2_Click() { write("Command2"); }
