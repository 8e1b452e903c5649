#include "app/form1.h"

void Form1::Command9_Click() {}
void Form1::savetempimg(qint32, qint32&) {}
void Form1::preparemark() {}
