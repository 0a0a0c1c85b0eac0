// The port, reader and master-transponder choice dialogs.

#include "CCheckMTransDlg.h"
#include "CChooseCOMDlg.h"
#include "CChooseReaderDlg.h"
#include "CComPorts.h"
#include "CLanguageHandler.h"
#include "CReaderLink.h"
#include "ShellTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <climits>

namespace {

class ChoiceDialogs : public ::testing::Test
{
protected:
    void SetUp() override { QSettings("Velmora", "Quandor").clear(); }

    static QVariant StoredPort() { return QSettings("Velmora", "Quandor").value("nAktCom"); }
    static QStringList Items(const QComboBox* combo)
    {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    static QStringList Items(const QListWidget* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }
    // Ports that exist on this machine for the dialog to list: overridden
    // numbers need no device.
    static void OfferPorts(const QList<int>& numbers)
    {
        for (int n : numbers)
            CComPorts::SetOverridePath(n, QStringLiteral("/dev/null/port%1").arg(n));
    }

    CLanguageHandler language{1, QString()};
};

TEST_F(ChoiceDialogs, PortsAreListedAsTextSoPortTenComesFirst)
{
    EXPECT_EQ(CChooseCOMDlg::PortEntries({2, 10, 3}), QStringList({"COM10", "COM2", "COM3"}));

    OfferPorts({2, 10, 3});
    CChooseCOMDlg dialog(&language);
    const QStringList items = Items(dialog.PortList());
    ASSERT_TRUE(items.contains("COM10") && items.contains("COM2") && items.contains("COM3"));
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    }));
    EXPECT_LT(items.indexOf("COM10"), items.indexOf("COM2"));
    EXPECT_EQ(dialog.PortList()->currentIndex(), 0);
    EXPECT_EQ(dialog.windowTitle(), language.GetLangItem(116));
    EXPECT_EQ(dialog.ConnectNowButton()->text(), language.GetLangItem(235));
    EXPECT_TRUE(dialog.PortList()->isEditable());
    dialog.show();
    Screenshot(dialog, QStringLiteral("choose-com-port"));
}

TEST_F(ChoiceDialogs, OkStoresTheChosenPortWithoutConnecting)
{
    OfferPorts({4, 7});
    CChooseCOMDlg dialog(&language);
    dialog.PortList()->setCurrentIndex(dialog.PortList()->findText("COM7"));
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    EXPECT_EQ(dialog.m_bConnectNow, 0);
    EXPECT_EQ(dialog.m_strPort, QStringLiteral("COM7"));
    EXPECT_EQ(StoredPort().toString(), QStringLiteral("7"));
}

TEST_F(ChoiceDialogs, ConnectNowStoresThePortAndEndsWithFive)
{
    OfferPorts({4, 7});
    CChooseCOMDlg dialog(&language);
    dialog.PortList()->setCurrentIndex(dialog.PortList()->findText("COM4"));
    QTest::mouseClick(dialog.ConnectNowButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), CChooseCOMDlg::kConnectNowResult);
    EXPECT_EQ(dialog.m_bConnectNow, 1);
    EXPECT_EQ(StoredPort().toString(), QStringLiteral("4"));
    // The one value the link reads, whatever its spelling.
    EXPECT_EQ(CReaderLink::StoredComPort(), 4u);
}

TEST_F(ChoiceDialogs, TextThatNamesNoListedPortStoresNothing)
{
    OfferPorts({4});
    QSettings("Velmora", "Quandor").setValue("nAktCom", 9);
    {
        CChooseCOMDlg dialog(&language);
        dialog.PortList()->setEditText("COM12");
        QTest::mouseClick(dialog.ConnectNowButton(), Qt::LeftButton);
        // Connect now still connects, on the port stored before.
        EXPECT_EQ(dialog.m_bConnectNow, 1);
        EXPECT_EQ(StoredPort().toString(), QStringLiteral("9"));
    }
    {
        // A listed port typed in another case is the listed one.
        CChooseCOMDlg dialog(&language);
        dialog.PortList()->setEditText("com4");
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.m_strPort, QStringLiteral("COM4"));
        EXPECT_EQ(StoredPort().toString(), QStringLiteral("4"));
    }
}

TEST_F(ChoiceDialogs, PortNumbersAreReadLikeAtoi)
{
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText("4"), 4);
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText(" 12ab"), 12);
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText("-3"), -3);
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText("abc"), 0);
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText(""), 0);
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText("99999999999999999999"), INT_MAX);
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText("-99999999999999999999"), INT_MIN);
    // Only the first 127 characters count.
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText(QString(126, ' ') + "5"), 5);
    EXPECT_EQ(CChooseCOMDlg::PortNumberFromText(QString(127, ' ') + "5"), 0);
}

TEST_F(ChoiceDialogs, ReaderChoiceOffersTheEntriesAndOneMore)
{
    for (int kind : {1, 0}) {
        CChooseReaderDlg dialog(&language, {"Tor", "Halle", "Lager"}, kind);
        const QString extra = language.GetLangItem(kind == 1 ? 123 : 224);
        EXPECT_EQ(Items(dialog.Entries()), QStringList({"Tor", "Halle", "Lager", extra}));
        EXPECT_EQ(dialog.windowTitle(), language.GetLangItem(121));
        EXPECT_EQ(dialog.CancelButton()->text(), language.GetLangItem(122));
        // OK waits for a choice.
        EXPECT_FALSE(dialog.OkButton()->isEnabled());
        dialog.show();
        if (kind == 1)
            Screenshot(dialog, QStringLiteral("choose-reader"));
        dialog.Entries()->setCurrentRow(3);
        ASSERT_TRUE(dialog.OkButton()->isEnabled());
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
        EXPECT_EQ(dialog.m_strChosen, extra);
    }

    CChooseReaderDlg dialog(&language, {"Tor"}, 1);
    dialog.Entries()->setCurrentRow(0);
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
    EXPECT_TRUE(dialog.m_strChosen.isEmpty());
}

TEST_F(ChoiceDialogs, MasterChoiceStartsWithTheReadersNumber)
{
    {
        CCheckMTransDlg dialog("0A1B2C3D4E", "1111111111", &language);
        EXPECT_TRUE(dialog.ReaderChoice()->isChecked());
        EXPECT_FALSE(dialog.DatabaseChoice()->isChecked());
        EXPECT_EQ(dialog.windowTitle(), language.GetLangItem(209));
        EXPECT_EQ(dialog.ReaderChoice()->text(), language.GetLangItem(211) + "0A1B2C3D4E");
        EXPECT_EQ(dialog.DatabaseChoice()->text(), language.GetLangItem(212) + "1111111111");
        EXPECT_EQ(dialog.CancelButton()->text(), language.GetLangItem(166));
        EXPECT_TRUE(dialog.m_strChosen.isEmpty());
        dialog.show();
        Screenshot(dialog, QStringLiteral("check-master-transponder"));
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.m_strChosen, QStringLiteral("0A1B2C3D4E"));
    }
    {
        CCheckMTransDlg dialog("0A1B2C3D4E", "1111111111", &language);
        dialog.show();
        QTest::mouseClick(dialog.DatabaseChoice(), Qt::LeftButton);
        EXPECT_FALSE(dialog.ReaderChoice()->isChecked());
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
        EXPECT_EQ(dialog.m_strChosen, QStringLiteral("1111111111"));
    }
    {
        CCheckMTransDlg dialog("0A1B2C3D4E", "1111111111", &language);
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
        EXPECT_TRUE(dialog.m_strChosen.isEmpty());
    }
}

} // namespace
