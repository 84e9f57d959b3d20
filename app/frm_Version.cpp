// The version dialog: the icon, the title, the version, the rights notice and OK.

#include "app/frm_Version.h"

#include "forms/Language.h"

namespace {
const forms::Color kWhite = forms::RGB(255, 255, 255);
}

frm_Version::frm_Version()
    : forms::Form(forms::FormStyle::Dialog), Image1(*this), Label3(*this), Label2_1(*this), Command1(*this, forms::Tr("OK")),
      Line1{forms::Line(*this, -135, 870, 10330, 870, kWhite), forms::Line(*this, -45, 885, 10330, 885, forms::vbWindowText),
            forms::Line(*this, -60, 870, 10330, 870, kWhite)},
      Label1(*this)
{
    const forms::Picture icon = forms::Picture::Load("shotgun.ico");
    setCaption(forms::Tr("バージョン情報"));
    setIcon(icon);
    setClientSize(3945, 1125);

    Image1.setPicture(icon);
    Label3.setCaption("Kestrin");
    Label3.setFont("IPAPMincho", 11.25f, true);
    Label2_1.setCaption(forms::Tr("Version %1", KESTRIN_VERSION));
    Label2_1.setFont("Times New Roman", 9.75f, true);
    Label1.setCaption(forms::Tr("(C) 2026 The Kestrin developers"));

    Command1.Click = [this] { Unload(); };

    Image1.Move(180, 210);
    Label3.Move(675, 180, 2295, 285);
    Label2_1.Move(1515, 525, 1515, 285);
    Command1.Move(3075, 120, 795, 345);
    Label1.Move(780, 930, 2775, 225);
}
