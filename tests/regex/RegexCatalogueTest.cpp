#include "RegexInterfaces.h"
#include "TestEnvironment.h"

#include <cstdlib>
#include <fstream>

namespace {

std::string newFolder(const char* hint)
{
    return TestEnvironment::NewFolder(QString::fromLatin1(hint)).toStdString();
}

void writeCatalogue(const std::string& path, const std::string& content)
{
    std::ofstream file(path, std::ios::binary);
    file << content;
}

// Names the user's locale for the catalogue search while it lives.
class UserLocale
{
public:
    explicit UserLocale(const char* name)
    {
        if (const char* old = std::getenv("LC_ALL"))
            m_old = old, m_had = true;
        setenv("LC_ALL", name, 1);
    }
    ~UserLocale()
    {
        if (m_had)
            setenv("LC_ALL", m_old.c_str(), 1);
        else
            unsetenv("LC_ALL");
    }

private:
    std::string m_old;
    bool m_had = false;
};

} // namespace

template <class I>
class RegexCatalogue : public ::testing::Test
{
protected:
    using R = typename I::Regex;

    // The empty-expression text the object took from its catalogue, read
    // after compiling an expression under "model".
    static std::string emptyText(const std::string& setting, int model = 0)
    {
        R re;
        re.SetLocaleModel(typename R::LocaleModels(model));
        re.SetLocaleDll(I::Text(setting));
        re.SetExpression(I::Text("a"));
        EXPECT_EQ(re.ParseExpression(), R::no_error) << I::Bytes(re.GetExpressionError());
        re.SetExpression(I::Text(""));
        return I::Bytes(re.GetExpressionError());
    }
};
TYPED_TEST_SUITE(RegexCatalogue, RegexInterfaces, InterfaceNames);

TYPED_TEST(RegexCatalogue, WithoutACatalogueTheBuiltInTextsStay)
{
    using R = typename TypeParam::Regex;
    EXPECT_EQ(this->emptyText(newFolder("none") + "/msgs"), "Empty expression");
    EXPECT_EQ(this->emptyText(newFolder("none") + "/msgs.res"), "Empty expression");

    R re;
    re.SetLocaleDll(TypeParam::Text(newFolder("none") + "/msgs"));
    re.SetExpression(TypeParam::Text("(a"));
    EXPECT_EQ(re.ParseExpression(), R::error_paren);
    EXPECT_NE(TypeParam::Bytes(re.GetExpressionError()).find("Unmatched marking parenthesis"), std::string::npos);
}

TYPED_TEST(RegexCatalogue, CatalogueTextsReplaceTheComponentsAndTheEngines)
{
    using R = typename TypeParam::Regex;
    const std::string path = newFolder("texts") + "/msgs.res";
    writeCatalogue(path, "# Deutsche Texte\r\n251\tLeerer Ausdruck\r\n208\tKlammer ohne Gegenst\xFC" "ck\r\n");

    EXPECT_EQ(this->emptyText(path, 0), "Leerer Ausdruck");
    EXPECT_EQ(this->emptyText(path, 1), "Leerer Ausdruck");
    EXPECT_EQ(this->emptyText(path, 2), "Empty expression") << "the runtime-library model uses no catalogue";

    R re;
    re.SetLocaleDll(TypeParam::Text(path));
    re.SetExpression(TypeParam::Text("(a"));
    EXPECT_EQ(re.ParseExpression(), R::error_paren);
    EXPECT_EQ(TypeParam::Bytes(re.GetExpressionError()).rfind("Klammer ohne Gegenst\xFC" "ck", 0), 0u)
        << TypeParam::Bytes(re.GetExpressionError());

    // Two objects naming one catalogue both get its texts.
    EXPECT_EQ(this->emptyText(path), "Leerer Ausdruck");
}

TYPED_TEST(RegexCatalogue, DroppingTheCatalogueBringsTheBuiltInTextsBack)
{
    using R = typename TypeParam::Regex;
    const std::string path = newFolder("drop") + "/msgs.res";
    writeCatalogue(path, "251\tLeerer Ausdruck\n");
    R re;
    re.SetLocaleDll(TypeParam::Text(path));
    re.SetExpression(TypeParam::Text("a"));
    ASSERT_EQ(re.ParseExpression(), R::no_error);
    re.SetLocaleDll(TypeParam::Text(""));
    ASSERT_EQ(re.ParseExpression(), R::no_error);
    re.SetExpression(TypeParam::Text(""));
    EXPECT_EQ(TypeParam::Bytes(re.GetExpressionError()), "Empty expression");
}

TYPED_TEST(RegexCatalogue, ADamagedCatalogueIsCodeTwenty)
{
    using R = typename TypeParam::Regex;
    const std::string folder = newFolder("damaged");
    const std::string plain = folder + "/plain.res";
    writeCatalogue(plain, "this line has no id\n");
    const std::string own = folder + "/own.res";
    writeCatalogue(own, "252\tKatalog unbrauchbar: \nnot an entry\n");

    for (int model : {0, 1}) {
        R re;
        re.SetLocaleModel(typename R::LocaleModels(model));
        re.SetExpression(TypeParam::Text("a+"));
        re.SetLocaleDll(TypeParam::Text(plain));
        EXPECT_EQ(re.ParseExpression(), R::error_locale_dll);
        EXPECT_EQ(TypeParam::Bytes(re.GetExpressionError()), "Unable to open the Locale DLL " + plain + ".");
        re.SetStringToMatch(TypeParam::Text("aa"));
        EXPECT_FALSE(re.MatchAll());

        re.SetLocaleDll(TypeParam::Text(own));
        EXPECT_EQ(re.ParseExpression(), R::error_locale_dll);
        EXPECT_EQ(TypeParam::Bytes(re.GetExpressionError()), "Katalog unbrauchbar: " + own + ".");

        // Mending the setting mends the object.
        re.SetLocaleDll(TypeParam::Text(""));
        EXPECT_EQ(re.ParseExpression(), R::no_error);
        EXPECT_TRUE(re.MatchAll());
    }
    R runtime;
    runtime.SetLocaleModel(R::runtime_library_locale);
    runtime.SetLocaleDll(TypeParam::Text(plain));
    runtime.SetExpression(TypeParam::Text("a+"));
    EXPECT_EQ(runtime.ParseExpression(), R::no_error);
}

TYPED_TEST(RegexCatalogue, NamesAreTriedWithCountryThenLanguageThenDll)
{
    const std::string folder = newFolder("order");
    const std::string stem = folder + "/msgs";
    UserLocale german("de_DE.UTF-8");

    writeCatalogue(stem + ".dll", "251\tdll\n");
    EXPECT_EQ(this->emptyText(stem), "dll");
    writeCatalogue(stem + ".De", "251\tDe\n");
    EXPECT_EQ(this->emptyText(stem), "De");
    writeCatalogue(stem + ".DeD", "251\tDeD\n");
    EXPECT_EQ(this->emptyText(stem), "DeD");

    // A "." in a folder name does not make the name explicit.
    const std::string dotted = newFolder("lang.old");
    writeCatalogue(dotted + "/msgs.De", "251\tdotted\n");
    EXPECT_EQ(this->emptyText(dotted + "/msgs"), "dotted");
    // An explicit name is tried alone.
    EXPECT_EQ(this->emptyText(stem + ".res"), "Empty expression");
}

TYPED_TEST(RegexCatalogue, WithoutAUserLanguageOnlyTheDllNameIsTried)
{
    const std::string stem = newFolder("nolang") + "/msgs";
    writeCatalogue(stem + ".De", "251\tDe\n");
    writeCatalogue(stem + ".dll", "251\tdll\n");
    UserLocale plain("C");
    EXPECT_EQ(this->emptyText(stem), "dll");
}

TYPED_TEST(RegexCatalogue, NativeModelCopesWithAMissingSystemLocale)
{
    using R = typename TypeParam::Regex;
    for (const char* name : {"xx_YY.UTF-8", "C", ""}) {
        UserLocale user(name);
        R re;
        re.SetLocaleModel(R::win32_locale);
        re.SetExpression(TypeParam::Text("[[:alpha:]]+"));
        re.SetStringToMatch(TypeParam::Text("abc"));
        EXPECT_TRUE(re.MatchAll()) << name;
    }
}
