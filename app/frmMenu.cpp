// The popup menu's holder: the high-score lines, the version dialog and Exit.

#include "app/frmMenu.h"

#include "app/frmBG.h"
#include "app/frm_Version.h"
#include "burst/frmDot.h"
#include "forms/Language.h"
#include "forms/Runtime.h"
#include "scores/HiScoreMenu.h"
#include "sprites/frm_RGN_Picture.h"

frmMenu::frmMenu()
    : forms::Form(forms::FormStyle::Hidden), mpop("mpop"), mh(forms::Tr("ハイスコア"), &mpop),
      mhiscore{forms::Menu("", &mh), forms::Menu("", &mh), forms::Menu("", &mh), forms::Menu("", &mh),
               forms::Menu("", &mh)},
      sep003("-", &mpop), mver(forms::Tr("バージョン情報"), &mpop), sep001("-", &mpop),
      mend(forms::Tr("終了"), &mpop)
{
    setCaption("Form1");

    // The score lines are rewritten from the file each time the menu opens.
    mpop.Click = [] { modSubroutine::ListHiScore(); };
    mver.Click = [this] { mver_Click(); };
    mend.Click = [this] { mend_Click(); };
}

void frmMenu::ShowScoreLines(const modSubroutine::HiScoreLineSet &lines)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        mhiscore[i].setCaption(lines[i]);
}

void frmMenu::mver_Click()
{
    // Every opening shows a freshly created dialog.
    forms::Default<frm_Version>().ShowModal();
    forms::DestroyDefault<frm_Version>();
}

void frmMenu::mend_Click()
{
    // Closing windows cannot fail here, so the sequence always reaches End. A game in
    // progress is dropped: nothing is written.
    forms::Unload<frm_RGN_Picture>();
    forms::Unload<frm_Version>();
    forms::Unload<frmDot>();
    forms::Unload<frmBG>();
    Unload();
    forms::End();
}
