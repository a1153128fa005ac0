// The converter set: make-up per mode and the first-accepting rule.
#include <gtest/gtest.h>

#include <typeinfo>

#include "converters/ConverterList.h"
#include "converters/TxtConverter.h"
#include "base/ScopedHandle.h"
#include "tests/ConverterRegistration.h"
#include "tests/ProcessUsage.h"

namespace {

class NamedConverter : public DocConverter {
public:
    NamedConverter(const wchar_t* suffix, int* destroyed) : suffix(suffix), destroyed(destroyed) {}
    ~NamedConverter() override {
        if (destroyed)
            ++*destroyed;
    }
    HGLOBAL Convert(const wchar_t*, const SearchRequest&) override { return nullptr; }
    int Accepts(const wchar_t* path) override {
        const size_t n = wcslen(path), m = wcslen(suffix);
        return n >= m && wcscmp(path + n - m, suffix) == 0;
    }
    std::unique_ptr<DocConverter> Clone() const override {
        return std::make_unique<NamedConverter>(suffix, nullptr);
    }

private:
    const wchar_t* suffix;
    int* destroyed;
};

TEST(ConverterList, EveryModeEndsWithThePlainTextConverter) {
    for (int mode : {0, 1, 2, 7}) {
        ConverterList list;
        list.BuildConverters(mode);
        EXPECT_EQ(list.Mode(), mode);
        ASSERT_GT(list.Count(), 0);
        EXPECT_NE(dynamic_cast<TxtConverter*>(list.At(list.Count() - 1)), nullptr) << mode;
        EXPECT_EQ(list.FindConverter(L"C:\\x.bin"), list.At(list.Count() - 1));
        // Each file is converted by a clone: the same class with the same settings.
        for (int i = 0; i < list.Count(); ++i) {
            const DocConverter& prototype = *list.At(i);
            const std::unique_ptr<DocConverter> clone = prototype.Clone();
            ASSERT_TRUE(clone);
            EXPECT_EQ(typeid(*clone), typeid(prototype));
            EXPECT_STREQ(clone->typeName, prototype.typeName);
            EXPECT_STREQ(clone->fileSpec, prototype.fileSpec);
            EXPECT_STREQ(clone->libraryPath, prototype.libraryPath);
        }
    }
    ConverterList textOnly;
    textOnly.BuildConverters(ConverterModeTextOnly);
    EXPECT_EQ(textOnly.Count(), 1);

    // Building the Office set reads the registry's import converters and
    // gives back every key it opened.
    ASSERT_TRUE(RegisterTestConverters());
    ConverterList office;
    office.BuildConverters(ConverterModeOffice);
    const unsigned before = MeasureProcessUsage().handles;
    for (int i = 0; i < 50; ++i)
        office.BuildConverters(ConverterModeOffice);
    EXPECT_LE(MeasureProcessUsage().handles, before + 5);
}

TEST(ConverterList, FirstAcceptingConverterWinsAndClearDestroysAll) {
    int destroyed = 0;
    ConverterList list;
    list.Append(std::make_unique<NamedConverter>(L".ttx", &destroyed));
    list.Append(std::make_unique<NamedConverter>(L"x", &destroyed));
    list.Append(std::make_unique<TxtConverter>());
    EXPECT_EQ(list.FindConverter(L"C:\\a.ttx"), list.At(0));
    EXPECT_EQ(list.FindConverter(L"C:\\a.xx"), list.At(1));
    EXPECT_EQ(list.FindConverter(L"C:\\a.txt"), list.At(2));
    list.BuildConverters(ConverterModeTextOnly);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(list.Count(), 1);
}

TEST(ConverterList, HoldsAtMostTwoHundredFiftySixConverters) {
    ConverterList list;
    for (int i = 0; i < ConverterList::kMaxConverters; ++i)
        ASSERT_TRUE(list.Append(std::make_unique<TxtConverter>()));
    EXPECT_FALSE(list.Append(std::make_unique<TxtConverter>()));
    EXPECT_EQ(list.Count(), ConverterList::kMaxConverters);
}

}  // namespace
