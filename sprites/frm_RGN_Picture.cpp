// The hidden picture store: loads the three sprite pictures from the resources.

#include "sprites/frm_RGN_Picture.h"

frm_RGN_Picture::frm_RGN_Picture()
    : forms::Form(forms::FormStyle::Hidden),
      pPicture{forms::Image(*this), forms::Image(*this), forms::Image(*this)}
{
    setCaption("frm_RGN_Picture");

    pPicture[0].setPicture(forms::Picture::Load("shell_loaded.bmp"));
    pPicture[1].setPicture(forms::Picture::Load("shell_spent.bmp"));
    pPicture[2].setPicture(forms::Picture::Load("plate.bmp"));

    pPicture[0].Move(0, 0);
    pPicture[1].Move(300, 0);
    pPicture[2].Move(600, 0);
}
