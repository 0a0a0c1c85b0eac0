#include "CGridCellCheck.h"
#include "TestWait.h"
#include "CGridCellButton.h"
#include "CGridCellCombo.h"
#include "CGridCellNumeric.h"
#include "CGridCellOption.h"
#include "GridInputFixture.h"

#include <QDir>

namespace {

void Fill(CGridCellCombo& combo)
{
    combo.GetItemList().push_back(std::make_unique<CListEntry>("---", ""));
    combo.GetItemList().push_back(std::make_unique<CListEntry>("Front door", "1"));
    combo.GetItemList().push_back(std::make_unique<CListEntry>("Garage", "2"));
    combo.GetItemList().push_back(std::make_unique<CListEntry>("Garage again", "2"));
}

} // namespace

TEST(CGridCellComboTest, AValueSelectsTheFirstEntryWithItAndShowsItsText)
{
    CGridCellCombo combo;
    Fill(combo);
    EXPECT_EQ(combo.GetStyle(), CGridCellCombo::DropDown);
    EXPECT_EQ(combo.GetValue(), ""); // entry 0 until told otherwise

    combo.SetValue("2");
    EXPECT_EQ(combo.GetSelectedIndex(), 2);
    EXPECT_EQ(combo.GetText(), "Garage");
    EXPECT_EQ(combo.GetValue(), "2");

    // No entry and no free text: the choice stays.
    combo.SetValue("9");
    EXPECT_EQ(combo.GetSelectedIndex(), 2);
    EXPECT_EQ(combo.GetText(), "Garage");
    EXPECT_EQ(combo.GetValue(), "2");

    combo.SetValue("");
    EXPECT_EQ(combo.GetText(), "---");
    EXPECT_EQ(combo.GetValue(), "");
}

TEST(CGridCellComboTest, AnEntrysTextChoosesItAndItsValue)
{
    // What an ended edit puts into the cell: the chosen entry's text.
    CGridCellCombo combo;
    Fill(combo);
    combo.SetValue("1");
    combo.SetText("Garage");
    EXPECT_EQ(combo.GetSelectedIndex(), 2);
    EXPECT_EQ(combo.GetValue(), "2");
    // Put back after a refusal.
    combo.SetText("Front door");
    EXPECT_EQ(combo.GetValue(), "1");
    // A text that is no entry changes no choice.
    combo.SetText("Cellar");
    EXPECT_EQ(combo.GetText(), "Cellar");
    EXPECT_EQ(combo.GetValue(), "1");
}

TEST(CGridCellComboTest, FreeTextKeepsAValueThatNamesNoEntry)
{
    CGridCellCombo combo;
    Fill(combo);
    combo.SetAllowFreeText(true);
    combo.SetValue("Back door");
    EXPECT_EQ(combo.GetText(), "Back door");
    EXPECT_EQ(combo.GetValue(), "Back door");
    combo.SetValue("1");
    EXPECT_EQ(combo.GetText(), "Front door");
    EXPECT_EQ(combo.GetValue(), "1");

    CGridCellCombo empty;
    empty.SetValue("x");
    EXPECT_EQ(empty.GetValue(), "");
    EXPECT_EQ(empty.GetText(), "");
}

TEST(CGridCellComboTest, ACopyShowsTheSourcesEntriesWithoutOwningThem)
{
    auto source = std::make_unique<CGridCellCombo>();
    Fill(*source);
    source->SetStyle(CGridCellCombo::DropDownList);
    CGridCellCombo copy;
    copy.CopyFrom(*source);
    EXPECT_EQ(copy.GetStyle(), CGridCellCombo::DropDownList);
    copy.SetValue("1");
    EXPECT_EQ(copy.GetText(), "Front door");
    EXPECT_TRUE(copy.GetItemList().empty());
    copy.UseOwnItemList();
    source.reset();
    copy.SetValue("2"); // no entries of its own: unchanged, no dangling list
    EXPECT_EQ(copy.GetText(), "Front door");
}

TEST(CGridCellOptionTest, TheMarkTogglesOnlyUnderThePoint)
{
    CGridCellOption option;
    option.SetMargin(3);
    EXPECT_FALSE(option.ToggleAt(QPoint(40, 8)));
    EXPECT_FALSE(option.IsSelectedOption());
    EXPECT_FALSE(option.ToggleAt(QPoint(8, 8)));
    EXPECT_TRUE(option.IsSelectedOption());
    EXPECT_TRUE(option.ToggleAt(QPoint(8, 8)));
    EXPECT_FALSE(option.IsSelectedOption());

    EXPECT_TRUE(CGridCellNumeric::IsAcceptedText("0123"));
    EXPECT_TRUE(CGridCellNumeric::IsAcceptedText(""));
    EXPECT_FALSE(CGridCellNumeric::IsAcceptedText("12a"));
    EXPECT_FALSE(CGridCellNumeric::IsAcceptedText(QString::fromUtf8("١٢"))); // other scripts' digits
}

// Every kind of cell in one record view's grid, for the eye.
class SpecialCellPictureTest : public GridInputTest
{
};

TEST_F(SpecialCellPictureTest, EveryKindIsDrawn)
{
    Build(5, 6, QSize(420, 140));
    grid->SetColumnCellType(1, &CGridCellNumeric::GetThisClass());
    grid->SetColumnCellType(2, &CGridCellCheck::GetThisClass());
    auto* combo = static_cast<CGridCellCombo*>(grid->SetColumnCellType(3, &CGridCellCombo::GetThisClass()));
    ASSERT_NE(combo, nullptr);
    Fill(*combo);
    combo->SetStyle(CGridCellCombo::DropDownList);
    grid->SetColumnCellType(4, &CGridCellOption::GetThisClass());
    grid->SetColumnCellType(5, &CGridCellButton::GetThisClass());
    grid->SetColumnWidth(3, 110, true, false);
    owner.text = [](int dataRow, int col) {
        switch (col) {
        case 1: return QString::number(dataRow * 17);
        case 2: return QString(dataRow % 2 ? "1" : "0");
        case 3: return QString(dataRow % 2 ? "1" : "2");
        case 4: return QString("Opt %1").arg(dataRow);
        case 5: return QString("Set");
        default: return QString();
        }
    };
    grid->Refresh();
    TestWait::Settle();
    EXPECT_EQ(grid->GetCellAt(1, 3)->GetText(), "Front door");
    EXPECT_EQ(grid->GetCellAt(2, 3)->GetText(), "Garage");
    EXPECT_EQ(grid->GetCellAt(2, 3)->GetValue(), "2");

    const QString folder = QDir::currentPath() + "/screenshots";
    QDir().mkpath(folder);
    EXPECT_TRUE(grid->grab().save(folder + "/grid_special_cells.png"));
}
