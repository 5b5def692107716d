// The skinned combo box on a real screen with the test skin: the normal
// paint of an unfocused drop-down box (its edit field left to the cache)
// shows the section, the button section and the text.
#include <gtest/gtest.h>

#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "acSBUtils.h"
#include "sComboBox.h"
#include "sPanel.h"
#include "sSkinManager.h"

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

TEST(SkinnedComboBoxDisplay, UnfocusedBoxesShowTheirSkinOnScreen) {
    acSBUtilsInitialization();
    {
        auto* form = New<TForm>(Application);
        form->BorderStyle = TFormBorderStyle::bsNone;
        form->SetBounds(100, 100, 300, 120);
        auto* other = New<TEdit>(form);
        other->SetParent(form);
        other->SetBounds(10, 80, 100, 22);
        // On a skinned panel, as in the main window.
        auto* panel = New<TsPanel>(form);
        panel->SetParent(form);
        panel->SetBounds(0, 0, 300, 70);
        TsComboBox* boxes[2] = {};
        const TComboBoxStyle styles[2] = {csDropDown, csDropDownList};
        for (int i = 0; i < 2; ++i) {
            boxes[i] = New<TsComboBox>(form);
            boxes[i]->SetStyle(styles[i]);
            boxes[i]->SetParent(panel);
            boxes[i]->SetBounds(10, 10 + 32 * i, 200, 21);
            boxes[i]->Items()->Add(u"http://one.example/");
            boxes[i]->Items()->Add(u"http://two.example/");
        }
        boxes[0]->SetText(u"http://typed.example/");
        boxes[1]->SetItemIndex(1);
        form->Show();
        other->SetFocus();
        harness::PumpUntilIdle(20, 500);
        // The skin comes after the boxes, as the user's choice does.
        const kestrune_test::TestSkinSession skin("kestrune-cmb-display-");
        ASSERT_TRUE(skin.Manager()->SkinData()->Active);
        const COLORREF section = TestRef(skingen::TestSectionColour("COMBOBOX", 0));
        const COLORREF button = TestRef(skingen::TestSectionColour("COMBOBTN", 0));
        for (TsComboBox* box : boxes) {
            SCOPED_TRACE(static_cast<int>(box->Style()));
            harness::Capture cap;
            const bool shows = harness::PumpUntil(
                [&] {
                    harness::PumpUntilIdle(20, 200);
                    cap = harness::CaptureWindow(box->Handle(), harness::CaptureSource::Screen);
                    return cap.Pixel(skingen::TestBorderWidth + 2, box->Height() / 2) == section &&
                           cap.Count(button) > 0;
                },
                5000);
            cap.SaveBmp((harness::ModuleFolder() + (box->Style() == csDropDown ? L"sComboBox-screen-dropdown.bmp"
                                                                                 : L"sComboBox-screen-droplist.bmp"))
                            .c_str());
            EXPECT_TRUE(shows) << "the section and the button on the screen";
        }
        form->Free();
    }
    acSBUtilsFinalization();
}

}  // namespace
