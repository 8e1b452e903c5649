// The conversion: Start, Stop, the progress display and the close handling.
#include "convert/form3.h"

void Form3::Command2_Click()
{
    const Busy busy(*this);
}

void Form3::stop_Click()
{
    const Busy busy(*this);
}

void Form3::conApp2_ReadProcess(const QString&)
{
    const Busy busy(*this);
}

void Form3::receiving(const QString&)
{
}

void Form3::update_progress(const QString&)
{
}

void Form3::Form_QueryUnload()
{
}

void Form3::Form_Unload()
{
}
