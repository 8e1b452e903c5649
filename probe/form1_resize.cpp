#include "app/form1.h"

void Form1::resize_video_form(qint32, qint32)
{
}
