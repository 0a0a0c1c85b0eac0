#include "CHyperLink.h"
#include "ShellTestSupport.h"

#include <QEnterEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Records which way the link opened, then opens as the real link does.
class RecordingLink : public CHyperLink
{
public:
    using CHyperLink::CHyperLink;

    bool OpenURL(const QString& link) override
    {
        urls << link;
        return CHyperLink::OpenURL(link);
    }
    bool OpenMail(const QString& link) override
    {
        mails << link;
        return CHyperLink::OpenMail(link);
    }

    QStringList urls;
    QStringList mails;
};

struct LinkFixture
{
    explicit LinkFixture(bool opens)
    {
        link.resize(200, 24);
        link.SetOpener([this, opens](const QUrl& url) {
            opened << url;
            return opens;
        });
    }

    void click(QPoint releaseAt = QPoint(10, 10))
    {
        QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&link, Qt::LeftButton, {}, releaseAt);
    }

    RecordingLink link;
    QList<QUrl> opened;
};

} // namespace

TEST(CHyperLink, MailtoInAnyCaseOpensMailEverythingElseTheWeb)
{
    RecordingPresenter boxes;
    LinkFixture f(true);
    const struct
    {
        const char* target;
        bool mail;
    } cases[] = {
        {"MailTo:support@velmora.example", true},
        {"mailto:", true},
        {"mail", false},
        {"mailto", false},
        {"www.velmora.example", false},
        {"https://velmora.example/mailto:x", false},
    };
    for (const auto& c : cases) {
        f.link.urls.clear();
        f.link.mails.clear();
        ASSERT_TRUE(f.link.SetLinkText(QString::fromLatin1(c.target)));
        f.click();
        EXPECT_EQ(f.link.mails.size(), c.mail ? 1 : 0) << c.target;
        EXPECT_EQ(f.link.urls.size(), c.mail ? 0 : 1) << c.target;
    }
    EXPECT_EQ(f.opened.value(0).scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(f.opened.value(4).toString(), QStringLiteral("http://www.velmora.example"));
    EXPECT_TRUE(f.link.IsVisited());
    EXPECT_EQ(f.link.GetCurrentColour(), CHyperLink::kVisitedColour);
    EXPECT_TRUE(boxes.Requests().empty());
}

TEST(CHyperLink, ReleasingOutsideOpensNothing)
{
    RecordingPresenter boxes;
    LinkFixture f(true);
    f.link.SetLinkText(QStringLiteral("www.velmora.example"));
    QTest::mousePress(&f.link, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(f.link.GetCurrentColour(), CHyperLink::kPressedColour);
    QTest::mouseRelease(&f.link, Qt::LeftButton, {}, QPoint(500, 10));
    EXPECT_TRUE(f.opened.isEmpty());
    EXPECT_FALSE(f.link.IsVisited());
    EXPECT_EQ(f.link.GetCurrentColour(), CHyperLink::kLinkColour);
    // A release without a press on the link is not a click either.
    QTest::mouseRelease(&f.link, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(f.opened.isEmpty());
}

TEST(CHyperLink, AFailedOpenIsShownAndNotMarkedVisited)
{
    RecordingPresenter boxes;
    LinkFixture f(false);
    f.link.SetLinkText(QStringLiteral("www.velmora.example"));
    f.click();
    EXPECT_FALSE(f.link.IsVisited());
    EXPECT_EQ(f.link.GetCurrentColour(), CHyperLink::kLinkColour);

    f.link.SetLinkText(QStringLiteral("mailto:support@velmora.example"));
    f.click();
    EXPECT_FALSE(f.link.IsVisited());

    const auto requests = boxes.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].text, QStringLiteral("Failed to open URL"));
    EXPECT_EQ(requests[1].text, QStringLiteral("E - Mail Failure."));
    for (const auto& request : requests) {
        EXPECT_EQ(request.caption, QStringLiteral("Error"));
        EXPECT_EQ(request.icon, QMessageBox::Critical);
    }
}

TEST(CHyperLink, LinkTextIsTrimmedAndFallsBackToTheLabel)
{
    CHyperLink link;
    EXPECT_FALSE(link.SetLinkText(QStringLiteral("   ")));
    EXPECT_TRUE(link.GetLinkText().isEmpty());
    EXPECT_TRUE(link.SetLinkText(QStringLiteral("  www.a.example \t")));
    EXPECT_EQ(link.GetLinkText(), QStringLiteral("www.a.example"));
    EXPECT_EQ(link.toolTip(), QStringLiteral("www.a.example"));
    link.SetToolTipText(QStringLiteral("Homepage"));
    EXPECT_EQ(link.toolTip(), QStringLiteral("Homepage"));

    link.setText(QStringLiteral(" www.b.example "));
    EXPECT_TRUE(link.SetLinkText(QString()));
    EXPECT_EQ(link.GetLinkText(), QStringLiteral("www.b.example"));
}

TEST(CHyperLink, HoverColoursAndUnderlineFollowTheMouse)
{
    RecordingPresenter boxes;
    LinkFixture f(true);
    f.link.SetLinkText(QStringLiteral("www.velmora.example"));
    auto enter = [&] {
        QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&f.link, &event);
    };
    auto leave = [&] {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(&f.link, &event);
    };

    EXPECT_TRUE(f.link.IsUnderlined());
    enter();
    EXPECT_EQ(f.link.GetCurrentColour(), CHyperLink::kHoverColour);
    leave();
    EXPECT_EQ(f.link.GetCurrentColour(), CHyperLink::kLinkColour);
    EXPECT_TRUE(f.link.IsUnderlined());

    f.link.SetUnderline(CHyperLink::UnderlineHover);
    EXPECT_FALSE(f.link.IsUnderlined());
    enter();
    EXPECT_TRUE(f.link.IsUnderlined());
    f.click();
    leave();
    EXPECT_FALSE(f.link.IsUnderlined());
    EXPECT_EQ(f.link.GetCurrentColour(), CHyperLink::kVisitedColour);

    f.link.SetUnderline(CHyperLink::UnderlineNever);
    enter();
    EXPECT_FALSE(f.link.IsUnderlined());
}
