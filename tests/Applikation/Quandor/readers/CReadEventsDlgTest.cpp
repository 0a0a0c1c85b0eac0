#include "CEventDateFilter.h"
#include "CReadEventsDlg.h"
#include "ShellTestSupport.h"
#include "TestEnvironment.h"

#include <CLanguageHandler.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <ctime>

namespace {

// 5 March 2024, noon, as the dialog's clock.
std::chrono::system_clock::time_point fifthOfMarch()
{
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

class ReadEventsDialog : public ::testing::Test
{
protected:
    CLanguageHandler language{0, TestEnvironment::NewFolder("lang")};
    CReadEventsDlg dialog{&language, nullptr, fifthOfMarch};
};

} // namespace

TEST_F(ReadEventsDialog, StartsReadingToThePointerWithoutAFilter)
{
    EXPECT_EQ(dialog.windowTitle(), language.GetLangItem(167));
    EXPECT_TRUE(dialog.ReadToPointerBox()->isChecked());
    EXPECT_EQ(dialog.ReadToPointerBox()->text(), language.GetLangItem(162));
    EXPECT_FALSE(dialog.DateFilterBox()->isChecked());
    EXPECT_EQ(dialog.DateFilterBox()->text(), language.GetLangItem(163));
    EXPECT_EQ(dialog.findChild<QLabel*>("1070")->text(), language.GetLangItem(164));
    EXPECT_EQ(dialog.findChild<QLabel*>("1071")->text(), language.GetLangItem(165));
    EXPECT_EQ(dialog.CancelButton()->text(), language.GetLangItem(122));
    EXPECT_EQ(dialog.OkButton()->text(), "OK");
    for (QDateEdit* picker : {dialog.FromPicker(), dialog.ToPicker()}) {
        EXPECT_FALSE(picker->isEnabled());
        EXPECT_EQ(picker->date(), QDate(2024, 3, 5));
        // Only dates whose two-digit year means that date.
        EXPECT_EQ(picker->minimumDate(), QDate(1971, 1, 1));
        EXPECT_EQ(picker->maximumDate(), QDate(2070, 12, 31));
    }
    EXPECT_TRUE(dialog.m_strDateFrom.isEmpty());
    EXPECT_TRUE(dialog.m_strDateTo.isEmpty());
}

TEST_F(ReadEventsDialog, TheFilterBoxSwitchesThePickersAndChangedDatesBecomeTexts)
{
    dialog.show();
    dialog.DateFilterBox()->click();
    EXPECT_TRUE(dialog.FromPicker()->isEnabled());
    EXPECT_TRUE(dialog.ToPicker()->isEnabled());
    dialog.FromPicker()->setDate(QDate(2023, 12, 15));
    dialog.ToPicker()->setDate(QDate(2024, 1, 9));
    EXPECT_EQ(dialog.m_strDateFrom, "151223");
    EXPECT_EQ(dialog.m_strDateTo, "090124");
    dialog.DateFilterBox()->click();
    EXPECT_FALSE(dialog.FromPicker()->isEnabled());
    dialog.ReadToPointerBox()->click();
    dialog.OkButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.m_bReadToPointer);
    EXPECT_FALSE(dialog.m_bDateFilter);
    EXPECT_EQ(dialog.m_strDateFrom, "151223");
}

// The filter ticked, the pickers untouched: OK filters today only; Cancel
// takes nothing, so nothing is filtered.
TEST_F(ReadEventsDialog, UntouchedPickersFilterTodayOnlyAndCancelTakesNothing)
{
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        CReadEventsDlg options{&language, nullptr, fifthOfMarch};
        options.DateFilterBox()->setChecked(true);
        (ok ? options.OkButton() : options.CancelButton())->click();
        EXPECT_EQ(options.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(options.m_bDateFilter, ok);
        EXPECT_EQ(options.m_strDateFrom, ok ? "050324" : "");
        EXPECT_EQ(options.m_strDateTo, ok ? "050324" : "");
        const CEventDateFilter filter(options.m_bDateFilter, options.m_strDateFrom, options.m_strDateTo);
        EXPECT_TRUE(filter.Passes(5, 3, 2024));
        EXPECT_EQ(filter.Passes(4, 3, 2024), !ok);
        EXPECT_EQ(filter.Passes(5, 3, 2023), !ok);
    }
}

TEST(ReadEventsDialogLook, BothLanguagesFit)
{
    for (unsigned int lang : {0u, 1u}) {
        CLanguageHandler language(lang, TestEnvironment::NewFolder("lang"));
        CReadEventsDlg dialog(&language, nullptr, fifthOfMarch);
        dialog.DateFilterBox()->setChecked(true);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        // Every text is shown whole.
        for (QWidget* w : std::initializer_list<QWidget*>{dialog.ReadToPointerBox(), dialog.DateFilterBox()})
            EXPECT_GE(w->width(), w->sizeHint().width()) << lang;
        Screenshot(dialog, lang == 0 ? QStringLiteral("read-events-dialog-de") : QStringLiteral("read-events-dialog-en"));
    }
}
