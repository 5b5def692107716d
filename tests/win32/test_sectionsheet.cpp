// A contact sheet of the section painter for a reviewer: each of the own
// skins beside the program, its button, check box, panel, edit and form
// title sections in every state they define (the check box with the
// skin's check and radio marks), painted over the skin's form background
// and saved as contact-sheet.bmp beside the test program. The
// test itself only checks that every cell was painted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FrameworkEnvironment.h"
#include "ProcessDriver.h"
#include "acMaskPaintWin.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

constexpr std::uint32_t kUnpainted = 0xFF00FF00u;
constexpr int kCellW = 120, kCellH = 34, kLabelW = 150, kGap = 6, kColumns = 6;
const char16_t* const kSections[] = {u"BUTTON", u"CHECKBOX", u"PANEL", u"EDIT", u"FORMTITLE"};
constexpr int kRowsPerSkin = 1 + static_cast<int>(std::size(kSections));

std::uint32_t& Px(TBitmap* bmp, int x, int y) { return static_cast<std::uint32_t*>(bmp->ScanLine(y))[x]; }

void Label(HDC DC, int X, int Y, const String& Text) {
    ::SetBkMode(DC, TRANSPARENT);
    ::TextOutW(DC, X, Y, reinterpret_cast<const wchar_t*>(Text.c_str()), static_cast<int>(Text.size()));
}

}  // namespace

TEST(SectionContactSheet, OwnSkinsEverySectionInEveryState) {
    const std::filesystem::path skins = std::filesystem::path(harness::ModuleFolder()) / L".." / L"app" / L"Skins";
    ASSERT_TRUE(std::filesystem::exists(skins)) << "the own skins are not built";
    auto* manager = New<TsSkinManager>(nullptr);
    manager->SetSkinDirectory(skins.u16string());
    TStringList names;
    manager->GetSkinNames(&names);
    ASSERT_GT(names.Count(), 0);

    const int width = kLabelW + kColumns * (kCellW + kGap);
    const int height = names.Count() * kRowsPerSkin * (kCellH + kGap);
    TBitmap* sheet = CreateWorkBitmap(width, height);
    FillRect32(sheet, TRect(0, 0, width, height), 0xFFFFFF);
    for (int s = 0; s < names.Count(); ++s) {
        const String skin = names.Get(s);
        SCOPED_TRACE(StringToUtf8(skin));
        manager->SetSkinName(skin);
        ASSERT_EQ(manager->SkinName(), skin);
        const int top = s * kRowsPerSkin * (kCellH + kGap);
        HDC dc = sheet->Canvas()->Handle();
        Label(dc, 4, top + 8, skin);
        // The form's background under the skin's block, the parent of every cell.
        const TRect block(kLabelW, top + kCellH + kGap, width, top + kRowsPerSkin * (kCellH + kGap));
        const Integer form = manager->GetSkinIndex(u"FORM");
        ASSERT_GE(form, 0);
        PaintSection(form, u"FORM", TCacheInfo{}, -1, -1, manager, sheet, TPoint(), block, 0);
        for (int row = 0; row < static_cast<int>(std::size(kSections)); ++row) {
            const String section = kSections[row];
            const Integer index = manager->GetSkinIndex(section);
            ASSERT_GE(index, 0) << StringToUtf8(section);
            const Integer states = std::clamp<Integer>(manager->gd()[static_cast<std::size_t>(index)].States, 1, kColumns);
            const int y = block.Top + row * (kCellH + kGap);
            Label(sheet->Canvas()->Handle(), 12, y + 8, section);
            for (int state = 0; state < states; ++state) {
                const int x = kLabelW + state * (kCellW + kGap);
                TBitmap* cell = CreateWorkBitmap(kCellW, kCellH);
                FillRect32(cell, TRect(0, 0, kCellW, kCellH), SwapRedBlue(static_cast<TColor>(kUnpainted & 0xFFFFFF)));
                TCacheInfo ci;
                ci.Bmp = sheet;
                ci.X = x;
                ci.Y = y;
                ci.Ready = true;
                PaintSection(index, section, ci, -1, -1, manager, cell, TPoint(), TRect(0, 0, kCellW, kCellH), state);
                // The check box's row also shows the skin's marks in the state.
                if (section == u"CHECKBOX") {
                    int mx = 6;
                    for (const char16_t* mark : {u"BOXUNCHECKED", u"BOXCHECKED", u"BOXGRAYED", u"RADIOUNCHECKED",
                                                 u"RADIOCHECKED", u"RADIOGRAYED"}) {
                        const Integer m = manager->GetMaskIndex(u"GLOBALINFO", mark);
                        ASSERT_GE(m, 0) << StringToUtf8(mark);
                        const TsMaskData& data = manager->ma()[static_cast<std::size_t>(m)];
                        DrawGlyphMask(cell, TPoint(mx, (kCellH - MaskFrameHeight(data)) / 2), state, ci, data, 1);
                        mx += MaskFrameWidth(data) + 3;
                    }
                }
                int unpainted = 0;
                for (int j = 0; j < kCellH; ++j)
                    for (int i = 0; i < kCellW; ++i) unpainted += Px(cell, i, j) == kUnpainted;
                EXPECT_EQ(unpainted, 0) << StringToUtf8(section) << " state " << state;
                ::BitBlt(sheet->Canvas()->Handle(), x, y, kCellW, kCellH, cell->Canvas()->Handle(), 0, 0, SRCCOPY);
                cell->Free();
            }
        }
    }
    ::GdiFlush();
    const std::filesystem::path file = std::filesystem::path(harness::ModuleFolder()) / L"contact-sheet.bmp";
    sheet->SaveToFile(file.u16string());
    EXPECT_TRUE(std::filesystem::exists(file));
    sheet->Free();
    manager->Free();
}
