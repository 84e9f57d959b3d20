#include "burst/frmDot.h"

frmDot::frmDot() : forms::Form(forms::FormStyle::Particle)
{
    setWidth(90);
    setHeight(90);
}
