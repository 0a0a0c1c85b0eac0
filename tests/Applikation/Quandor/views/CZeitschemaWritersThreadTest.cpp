// Two writers adding time schemas at once, each with a data source of its
// own (as two PCs): every schema's four rows keep consecutive keys and one
// name, so no group mixes two schemas.
#include "FerroldTestDb.h"
#include "CZeitschemaStore.h"
#include "CtblZeitschema.h"

#include <atomic>
#include <thread>

namespace {

class CZeitschemaWritersThreadTest : public FerroldTest
{
};

TEST_F(CZeitschemaWritersThreadTest, SchemasAddedAtOnceNeverInterleaveTheirRows)
{
    constexpr int kSchemas = 30;
    const CDatabase::Source source = Source();
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (const char* tag : {"a", "b"}) {
        writers.emplace_back([&, tag] {
            CLanguageHandler language(0, QString());
            CFerrold_Handler handler(&language, source);
            CZeitschemaStore store(&handler);
            for (int i = 0; i < kSchemas; ++i) {
                if (store.Add(QStringLiteral("%1-%2").arg(QLatin1String(tag)).arg(i)) == 0)
                    ++failures;
            }
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(failures.load(), 0) << Messages().join('\n').toStdString();

    auto& h = Handler();
    CtblZeitschema* schemas = h.Get_Ptr_To_tblZeitschema();
    EXPECT_TRUE(schemas->BrokenSchemas().isEmpty()) << schemas->BrokenSchemas().join(", ").toStdString();
    EXPECT_EQ(schemas->GetAnz_Zeitschema(), 4 * (1 + 2 * kSchemas));
}

} // namespace
