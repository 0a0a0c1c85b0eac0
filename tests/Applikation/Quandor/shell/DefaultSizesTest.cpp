#include "RecordViewFixture.h"
#include "ShellTestSupport.h"

#include "CAboutDlg.h"
#include "CDataProgressDlg.h"
#include "CReadEventsDlg.h"
#include "CExportDataDlg.h"
#include "CImportDataDlg.h"
#include "CImportErrorDlg.h"
#include "CCheckMTransDlg.h"
#include "CChooseCOMDlg.h"
#include "CChooseReaderDlg.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>

#include <functional>
#include <memory>

namespace {

// Two readers, a person, a transponder and an event: every view has a row.
const QStringList kRecords = {
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES (1,'A','Kite','K1'),"
    "(2,'T','Tern','---')",
    "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1)",
    "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
    " VALUES (1,'00000000AA',1,1,'1')",
    "INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1, strBinaerwert2,"
    " strEvent2, Leser_ID, strLeserName) VALUES ('00000000AA','24121999','2359','01','Zutritt','10','Tür',1,'A')",
};

// Where a widget's text does not fit, as "name: text (needs n, has m)".
QStringList CutTexts(QWidget* window)
{
    QStringList cut;
    auto check = [&cut](const QWidget* w, const QString& text, int needs, int has) {
        if (!text.isEmpty() && needs > has)
            cut << QStringLiteral("%1 \"%2\": needs %3, has %4").arg(w->objectName(), text).arg(needs).arg(has);
    };
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty() || label->textFormat() == Qt::RichText)
            continue;
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                          -label->margin());
        const QFontMetrics metrics(label->font());
        if (label->wordWrap()) {
            const QRect needed = metrics.boundingRect(room.adjusted(0, 0, 0, 10000), Qt::TextWordWrap | label->alignment(),
                                                      label->text());
            check(label, label->text(), needed.height(), room.height());
        } else {
            check(label, label->text(), metrics.size(Qt::TextShowMnemonic, label->text()).width(), room.width());
        }
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || button->text().isEmpty())
            continue;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (button->inherits("QRadioButton"))
            contents = QStyle::SE_RadioButtonContents;
        else if (button->inherits("QCheckBox"))
            contents = QStyle::SE_CheckBoxContents;
        const int room = button->style()->subElementRect(contents, &option, button).width();
        const QFontMetrics metrics(button->font());
        check(button, button->text(), metrics.size(Qt::TextShowMnemonic, button->text()).width(), room);
    }
    for (QGroupBox* group : window->findChildren<QGroupBox*>()) {
        if (!group->isVisible() || group->title().isEmpty())
            continue;
        const QFontMetrics metrics(group->font());
        // The frame's inner width bounds the title.
        check(group, group->title(), metrics.size(Qt::TextShowMnemonic, group->title()).width() + 16, group->width());
    }
    return cut;
}

class DefaultSizesTest : public RecordViewBase, public ::testing::WithParamInterface<int>
{
protected:
    QString LanguageCode() const { return GetParam() == CMainFrame::ID_LANGUAGE_GERMAN ? "de" : "en"; }

    void StartIn(int command)
    {
        Sql(kRecords);
        Start();
        m_app->GetMainFrame()->OnCommand(command);
    }

    // Header titles of the view's own columns (not the reader columns, titled
    // with names the user gave) that the default width cuts, and rows too low
    // for a line of text.
    QStringList CutHeaders(int ownColumns) const
    {
        QStringList cut;
        CGridCtrl* grid = Grid();
        if (!grid)
            return {QStringLiteral("no grid")};
        const QFontMetrics metrics(grid->font());
        for (int col = 1; col <= ownColumns && col < grid->GetColumnCount(); ++col) {
            CGridCellBase* header = grid->GetCellAt(0, col);
            const int width = grid->GetColumnWidth(col);
            if (!header || width == 0)
                continue; // hidden
            // The cell draws inside its 3-D frame, a margin in on each side.
            const int needs = metrics.horizontalAdvance(header->GetText()) + 2 * int(header->GetMargin()) + 2;
            if (needs > width)
                cut << QStringLiteral("%1 \"%2\": needs %3, has %4").arg(col).arg(header->GetText()).arg(needs).arg(width);
        }
        for (int row : {0, 1}) {
            if (grid->GetRowCount() > row && grid->GetRowHeight(row) < metrics.height() + 2)
                cut << QStringLiteral("row %1: %2 high").arg(row).arg(grid->GetRowHeight(row));
        }
        return cut;
    }
};

} // namespace

// Every view, unfiltered and filtered, in both languages.
TEST_P(DefaultSizesTest, NoViewCutsAHeaderOrARowByDefault)
{
    StartIn(GetParam());
    struct Case
    {
        CLeftTreeView::NodeKind node;
        int child;
        int ownColumns;
    };
    const Case cases[] = {
        {CLeftTreeView::ReadersNode, -1, 7},         {CLeftTreeView::ReadersNode, 0, 5},
        {CLeftTreeView::TranspondersNode, -1, 5},    {CLeftTreeView::PersonsNode, -1, 4},
        {CLeftTreeView::TimeSchemasNode, -1, 14},    {CLeftTreeView::TimeSchemasNode, 0, 14},
        {CLeftTreeView::EventsNode, -1, 10},
    };
    for (const Case& c : cases) {
        Show(c.node, c.child);
        ASSERT_NE(View(), nullptr);
        EXPECT_EQ(CutHeaders(c.ownColumns), QStringList()) << View()->objectName().toStdString() << " " << c.child;
        if (c.child < 0 && (c.node == CLeftTreeView::ReadersNode || c.node == CLeftTreeView::TranspondersNode))
            Screenshot(*m_app->GetMainFrame(), View()->objectName() + "-" + LanguageCode());
    }
}

// Readers whose serial numbers differ in their last digits: the list shows
// every digit by default, and every reader's type.
TEST_P(DefaultSizesTest, TheReaderListShowsEveryDigitOfASerialNumber)
{
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES "
         "(1,'Door','Kite','0123456789ABCDEF0123'), (2,'Gate','Heron','0123456789ABCDEF0224'), "
         "(3,'Hall','Egret','0123456789ABCDEF0325')"});
    // Started in the language: widths the layout stored stay as stored.
    SetLanguage(GetParam() == CMainFrame::ID_LANGUAGE_GERMAN ? 0 : 1);
    Start();
    Show(CLeftTreeView::ReadersNode);
    CGridCtrl* grid = Grid();
    ASSERT_NE(grid, nullptr);
    const QFontMetrics metrics(grid->font());
    // The serial numbers, and the readers' types.
    for (int row = 1; row <= 3; ++row) {
        for (int column : {3, 5}) {
            CGridCellBase* cell = grid->GetCellAt(row, column);
            ASSERT_NE(cell, nullptr);
            EXPECT_LE(metrics.horizontalAdvance(cell->GetText()) + 2 * int(cell->GetMargin()) + 2,
                      grid->GetColumnWidth(column))
                << cell->GetText().toStdString();
        }
    }
    Screenshot(*m_app->GetMainFrame(), "reader-serials-" + LanguageCode());
}

TEST_P(DefaultSizesTest, NoDialogCutsALabelOrAButton)
{
    StartIn(GetParam());
    CLanguageHandler* language = Language();
    const QStringList errors = {QStringLiteral("Nr.: 1 ...")};
    const std::function<QDialog*()> dialogs[] = {
        [&] { return new CAboutDlg(0, language); },
        [&] { return new CDataProgressDlg(language); },
        [&] { return new CExportDataDlg(language, 1); },
        [&] { return new CImportDataDlg(language); },
        [&] { return new CImportErrorDlg(language, &errors); },
        [&] { return new CCheckMTransDlg(QStringLiteral(" 00000000AA"), QStringLiteral(" 00000000BB"), language); },
        [&] { return new CChooseCOMDlg(language); },
        [&] { return new CChooseReaderDlg(language, {QStringLiteral("Kite 1234")}, 1); },
        [&] { return new CChooseReaderDlg(language, {}, 2); },
        [&] { return new CReadEventsDlg(language); },
    };
    for (const auto& make : dialogs) {
        std::unique_ptr<QDialog> dialog(make());
        dialog->setAttribute(Qt::WA_DeleteOnClose, false);
        dialog->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(CutTexts(dialog.get()), QStringList()) << dialog->metaObject()->className();
        Screenshot(*dialog, dialog->metaObject()->className() + QStringLiteral("-") + LanguageCode());
        dialog->hide();
    }
}

// The measure itself finds a cut label, button and group title.
TEST(DefaultSizesMeasure, FindsCutTexts)
{
    QWidget window;
    auto* label = new QLabel(QStringLiteral("Seriennummer des Lesers"), &window);
    auto* button = new QPushButton(QStringLiteral("Jetzt verbinden"), &window);
    auto* group = new QGroupBox(QStringLiteral("Welcher Mastertransponder ist gültig?"), &window);
    label->setGeometry(0, 0, 40, 20);
    button->setGeometry(0, 30, 40, 20);
    group->setGeometry(0, 60, 40, 40);
    window.show();
    EXPECT_EQ(CutTexts(&window).size(), 3);
    for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(button), static_cast<QWidget*>(group)})
        w->resize(400, w->height());
    EXPECT_EQ(CutTexts(&window), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Languages, DefaultSizesTest,
                         ::testing::Values(int(CMainFrame::ID_LANGUAGE_GERMAN), int(CMainFrame::ID_LANGUAGE_ENGLISH)),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == CMainFrame::ID_LANGUAGE_GERMAN ? "German" : "English";
                         });
