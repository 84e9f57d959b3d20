// A particle window of the hit burst, 90 twips square until the pool sizes it.

#include "burst/frmDot.h"

frmDot::frmDot() : forms::Form(forms::FormStyle::Particle)
{
    setWidth(90);
    setHeight(90);
}
