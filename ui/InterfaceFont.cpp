#include "ui/InterfaceFont.h"

QFont InterfaceFont(QFont base)
{
    base.setPixelSize(11);
    base.setStretch(QFont::Condensed);
    return base;
}
