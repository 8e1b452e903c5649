#include "app/form1.h"

void Form1::browse_Click() {}
void Form1::scaleimage() {}
void Form1::Slider1_Change() {}
void Form1::Picture1_Change() {}
