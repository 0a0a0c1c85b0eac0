#include "RegexInterfaces.h"

#include <string>

template <class I>
class RegexEvents : public ::testing::Test
{
protected:
    using R = typename I::Regex;
    using Matches = std::vector<typename I::Match>;

    void SetUp() override { calls().clear(); }

    static std::vector<std::string>& calls()
    {
        static std::vector<std::string> log;
        return log;
    }
    static void matchingCallback(R*, const Matches& m, unsigned, unsigned)
    {
        calls().push_back("callback:" + I::Bytes(m[0].text));
    }
    static void searchingCallback(R*, const Matches& m, unsigned, unsigned)
    {
        calls().push_back("search-callback:" + I::Bytes(m[0].text));
    }
    static void grepping(R*, const Matches&, unsigned, unsigned, bool&) {}
    static void merging(R*, const Matches&, unsigned, unsigned, bool&) {}
    static void greppingFiles(R*, typename I::String, const Matches&, unsigned, bool&) {}
    static void changingFiles(R*, typename I::String, const Matches&, unsigned, bool&) {}
    static void findingFiles(R*, typename I::String, bool&) {}

    // A receiver with handlers of its own.
    struct Receiver
    {
        std::string name;
        void onMatching(R*, const Matches& m, unsigned, unsigned)
        {
            calls().push_back(name + ":" + I::Bytes(m[0].text));
        }
    };

    static void subscribeAll(R& re, Receiver& receiver)
    {
        re.OnMatching.Subscribe(&receiver, &Receiver::onMatching);
        re.OnSearching.Subscribe(&receiver, [](R*, const Matches&, unsigned, unsigned) {});
        re.OnGrepping.Subscribe(&receiver, [](R*, const Matches&, unsigned, unsigned, bool&) {});
        re.OnMerging.Subscribe(&receiver, [](R*, const Matches&, unsigned, unsigned, bool&) {});
        re.OnChangingFiles.Subscribe(&receiver, [](R*, typename I::String, const Matches&, unsigned, bool&) {});
        re.OnGreppingFiles.Subscribe(&receiver, [](R*, typename I::String, const Matches&, unsigned, bool&) {});
        re.OnFindFiles.Subscribe(&receiver, [](R*, typename I::String, bool&) {});
    }
};
TYPED_TEST_SUITE(RegexEvents, RegexInterfaces, InterfaceNames);

TYPED_TEST(RegexEvents, EveryCallbackReadsBackAsStored)
{
    using R = typename TypeParam::Regex;
    R re;
    re.SetOnMatching(&TestFixture::matchingCallback);
    re.SetOnSearching(&TestFixture::searchingCallback);
    re.SetOnGrepping(&TestFixture::grepping);
    re.SetOnMerging(&TestFixture::merging);
    re.SetOnGreppingFiles(&TestFixture::greppingFiles);
    re.SetOnChangingFiles(&TestFixture::changingFiles);
    TypeParam::SetOnFindFiles(re, &TestFixture::findingFiles);
    EXPECT_EQ(re.GetOnMatching(), &TestFixture::matchingCallback);
    EXPECT_EQ(re.GetOnSearching(), &TestFixture::searchingCallback);
    EXPECT_EQ(re.GetOnGrepping(), &TestFixture::grepping);
    EXPECT_EQ(re.GetOnMerging(), &TestFixture::merging);
    EXPECT_EQ(re.GetOnGreppingFiles(), &TestFixture::greppingFiles);
    EXPECT_EQ(re.GetOnChangingFiles(), &TestFixture::changingFiles);
    EXPECT_EQ(TypeParam::GetOnFindFiles(re), &TestFixture::findingFiles);
    re.SetOnMatching(nullptr);
    EXPECT_EQ(re.GetOnMatching(), nullptr);
}

TYPED_TEST(RegexEvents, CallbackWhenSetElseEveryHandlerInOrderNeverBoth)
{
    using R = typename TypeParam::Regex;
    R re;
    typename TestFixture::Receiver first{"first"};
    typename TestFixture::Receiver second{"second"};
    re.OnMatching.Subscribe(&first, &TestFixture::Receiver::onMatching);
    re.OnMatching.Subscribe(&second, &TestFixture::Receiver::onMatching);
    re.SetExpression(TypeParam::Text("[a-z]+"));

    re.SetOnMatching(&TestFixture::matchingCallback);
    re.SetStringToMatch(TypeParam::Text("abc"));
    EXPECT_TRUE(re.MatchAll());
    EXPECT_TRUE(re.Match());
    re.SetStringToMatch(TypeParam::Text("ab1"));
    EXPECT_FALSE(re.MatchAll()) << "no match reports nothing";
    EXPECT_EQ(TestFixture::calls(), (std::vector<std::string>{"callback:abc", "callback:abc"}));

    TestFixture::calls().clear();
    re.SetOnMatching(nullptr);
    re.SetStringToMatch(TypeParam::Text("xyz"));
    EXPECT_TRUE(re.MatchAll());
    EXPECT_EQ(TestFixture::calls(), (std::vector<std::string>{"first:xyz", "second:xyz"}));
}

TYPED_TEST(RegexEvents, SearchReportsThroughItsOwnCallbackAndEvent)
{
    using R = typename TypeParam::Regex;
    R re;
    typename TestFixture::Receiver receiver{"matching"};
    re.OnMatching.Subscribe(&receiver, &TestFixture::Receiver::onMatching);
    int searchEvents = 0;
    re.OnSearching.Subscribe(&receiver, [&searchEvents](R*, const typename TestFixture::Matches&, unsigned,
                                                         unsigned) { ++searchEvents; });
    re.SetExpression(TypeParam::Text("b"));
    re.SetStringToMatch(TypeParam::Text("abc"));
    EXPECT_TRUE(re.Search());
    EXPECT_EQ(searchEvents, 1);
    EXPECT_TRUE(TestFixture::calls().empty());

    re.SetOnSearching(&TestFixture::searchingCallback);
    EXPECT_TRUE(re.Search());
    EXPECT_EQ(searchEvents, 1);
    EXPECT_EQ(TestFixture::calls(), (std::vector<std::string>{"search-callback:b"}));
}

TYPED_TEST(RegexEvents, RemovingAReceiverLeavesTheOthers)
{
    using R = typename TypeParam::Regex;
    R re;
    typename TestFixture::Receiver gone{"gone"};
    typename TestFixture::Receiver kept{"kept"};
    TestFixture::subscribeAll(re, gone);
    TestFixture::subscribeAll(re, kept);
    re.RemoveAllEventHandlers(&gone);
    EXPECT_EQ(re.OnMatching.Count(), 1u);
    EXPECT_EQ(re.OnSearching.Count(), 1u);
    EXPECT_EQ(re.OnGrepping.Count(), 1u);
    EXPECT_EQ(re.OnMerging.Count(), 1u);
    EXPECT_EQ(re.OnChangingFiles.Count(), 1u);
    EXPECT_EQ(re.OnGreppingFiles.Count(), 1u);
    EXPECT_EQ(re.OnFindFiles.Count(), 1u);

    re.SetExpression(TypeParam::Text("a"));
    re.SetStringToMatch(TypeParam::Text("a"));
    EXPECT_TRUE(re.MatchAll());
    EXPECT_EQ(TestFixture::calls(), (std::vector<std::string>{"kept:a"}));

    re.RemoveAllEventHandlers(&kept);
    EXPECT_TRUE(re.OnFindFiles.IsEmpty());
    EXPECT_TRUE(re.OnMatching.IsEmpty());
}

TYPED_TEST(RegexEvents, AHandlerMayRemoveItselfWhileBeingRaised)
{
    using R = typename TypeParam::Regex;
    R re;
    int selfRemoving = 0;
    int other = 0;
    int receiverA = 0;
    int receiverB = 0;
    re.OnMatching.Subscribe(&receiverA, [&](R* sender, const typename TestFixture::Matches&, unsigned, unsigned) {
        ++selfRemoving;
        sender->RemoveAllEventHandlers(&receiverA);
    });
    re.OnMatching.Subscribe(&receiverB, [&](R*, const typename TestFixture::Matches&, unsigned, unsigned) { ++other; });
    re.SetExpression(TypeParam::Text("a"));
    re.SetStringToMatch(TypeParam::Text("a"));
    EXPECT_TRUE(re.MatchAll());
    EXPECT_TRUE(re.MatchAll());
    EXPECT_EQ(selfRemoving, 1);
    EXPECT_EQ(other, 2);
}

TYPED_TEST(RegexEvents, HandlersOfMatchingRunAfterTheEngineIsDone)
{
    using R = typename TypeParam::Regex;
    R re;
    int receiver = 0;
    std::string formatted;
    re.OnMatching.Subscribe(&receiver, [&formatted](R* sender, const typename TestFixture::Matches&, unsigned,
                                                    unsigned) {
        sender->SetLocaleModel(R::runtime_library_locale);
        // The results belong to the report, not to the string to match:
        // a new subject (long enough to live on the heap) frees nothing
        // the report still reads.
        sender->SetStringToMatch(TypeParam::Text(std::string(200, 'b')));
        formatted = TypeParam::Format(*sender);
    });
    re.SetExpression(TypeParam::Text("a+"));
    re.SetFormatString(TypeParam::Text("<$&>"));
    re.SetStringToMatch(TypeParam::Text(std::string(100, 'a')));
    EXPECT_TRUE(re.MatchAll());
    EXPECT_EQ(re.GetLocaleModel(), R::runtime_library_locale);
    EXPECT_EQ(formatted, "<" + std::string(100, 'a') + ">");
    EXPECT_EQ(TypeParam::Bytes(re.GetStringToMatch()), std::string(200, 'b'));
}

TYPED_TEST(RegexEvents, CopiesTakeCallbacksButNotHandlers)
{
    using R = typename TypeParam::Regex;
    R re;
    typename TestFixture::Receiver receiver{"r"};
    TestFixture::subscribeAll(re, receiver);
    re.SetOnGrepping(&TestFixture::grepping);
    const R copy(re);
    EXPECT_TRUE(copy.OnMatching.IsEmpty());
    EXPECT_TRUE(copy.OnFindFiles.IsEmpty());
    EXPECT_EQ(copy.GetOnGrepping(), &TestFixture::grepping);

    R assigned;
    int other = 0;
    assigned.OnMatching.Subscribe(&other, [](R*, const typename TestFixture::Matches&, unsigned, unsigned) {});
    assigned = re;
    EXPECT_EQ(assigned.OnMatching.Count(), 1u) << "assignment keeps the target's handlers";
    EXPECT_EQ(assigned.GetOnGrepping(), &TestFixture::grepping);
}
