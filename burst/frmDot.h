#pragma once
// One particle of the hit burst: a tiny borderless window showing one grey, and the
// state of the particle it shows.

#include <cstdint>

#include "forms/Form.h"

class frmDot : public forms::Form {
public:
    frmDot();

    double StX = 0;          // launch point, screen twips
    double StY = 0;
    double X = 0;            // current top-left corner, screen twips
    double Y = 0;
    double T = 0;            // particle time: 0 at launch, +0.15 per motion step
    double Spd = 0;          // launch speed, twips per unit of T
    bool Flag = false;       // the particle is flying
    std::int32_t Angle = 0;  // whole degrees: 0 down, 90 right, 180 up, 270 left
    std::int32_t Color = 0;  // grey level, 255 at launch
    std::int32_t ColMSpd = 0;// fade per motion step, 4 to 10
};
