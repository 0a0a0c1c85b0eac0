#include "RegularExpressionData.h"

#include <gtest/gtest.h>

using tramex::RegularExpressionData;
namespace rc = boost::regex_constants;

TEST(RegularExpressionData, EngineErrorNumbersAsTheComponentReportsThem)
{
    for (int code = rc::error_bad_pattern; code <= rc::error_empty; ++code) {
        if (code != rc::error_size) {
            EXPECT_EQ(RegularExpressionData::ComponentCode(code), code);
        }
    }
    EXPECT_EQ(RegularExpressionData::ComponentCode(rc::error_size), RegularExpressionData::error_size);
    EXPECT_EQ(RegularExpressionData::ComponentCode(rc::error_complexity), RegularExpressionData::error_complexity);
    EXPECT_EQ(RegularExpressionData::ComponentCode(rc::error_stack), RegularExpressionData::error_complexity);
    EXPECT_EQ(RegularExpressionData::ComponentCode(rc::error_perl_extension), RegularExpressionData::error_bad_pattern);
    EXPECT_EQ(RegularExpressionData::ComponentCode(rc::error_unknown), RegularExpressionData::error_bad_pattern);
    EXPECT_EQ(RegularExpressionData::ComponentCode(99), RegularExpressionData::error_bad_pattern);
}

TEST(RegularExpressionData, StoredLayoutsListTheirFieldsInOrder)
{
    using F = RegularExpressionData::Field;
    const std::vector<F> second{F::ExpressionOptions, F::MatchOptions, F::DirectoryRecursion, F::MergeCopy,
                                F::MergeOnlyFirst, F::SplitInputDelete, F::ContinueFiles, F::MaximumSplits,
                                F::FormatType, F::LocaleModel, F::Expression, F::StringToMatch, F::FilesToMatch,
                                F::FormatString, F::SaveExtension, F::LocaleDll};
    const std::vector<F> first{F::ExpressionOptions, F::MatchOptions, F::DirectoryRecursion, F::MergeCopy,
                               F::Expression, F::StringToMatch, F::FilesToMatch, F::FormatString,
                               F::SaveExtension};
    EXPECT_EQ(RegularExpressionData::StoredFields(2), second);
    EXPECT_EQ(RegularExpressionData::StoredFields(1), first);
    EXPECT_TRUE(RegularExpressionData::StoredFields(0).empty());
    EXPECT_TRUE(RegularExpressionData::StoredFields(3).empty());
}

TEST(RegularExpressionData, CatalogueTextsFollowTheCatalogueInEffect)
{
    RegularExpressionData data;
    EXPECT_EQ(data.GetSpaceClassLetter(), '\0');
    EXPECT_EQ(data.GetEmptyExpressionText(), "Empty expression");
    EXPECT_EQ(data.GetLocaleDllFailureText(), "Unable to open the Locale DLL ");
}
