// The bounded text copies at the edges of their capacity: 0, 1, a text that
// fits exactly (length capacity - 1) and one a character longer, for both
// character types. Destinations are larger than the capacity handed over and
// filled with a mark, so that a write past the capacity shows.
#include "common/text/bounded_copy.h"

#include <gtest/gtest.h>

#include <string>

namespace vantor::text {
namespace {

template <typename Char>
class BoundedCopy : public ::testing::Test {
protected:
    using String = std::basic_string<Char>;
    static constexpr Char kMark = Char('#');

    // `narrow` (plain ASCII) in this character type.
    static String of(const char* narrow) { return String(narrow, narrow + std::char_traits<char>::length(narrow)); }

    // A destination of 8 marks.
    static String marks() { return String(8, kMark); }
};

using CharTypes = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(BoundedCopy, CharTypes);

TYPED_TEST(BoundedCopy, FitsCountsTheTerminator)
{
    EXPECT_FALSE(fits(0, 0));
    EXPECT_TRUE(fits(0, 1));
    EXPECT_FALSE(fits(1, 1));
    EXPECT_TRUE(fits(3, 4));
    EXPECT_FALSE(fits(4, 4));
}

TYPED_TEST(BoundedCopy, CopyCutKeepsWhatFitsAndTerminatesIt)
{
    using String = typename TestFixture::String;
    using View = std::basic_string_view<TypeParam>;
    const String abc = TestFixture::of("abc");
    const String abcd = TestFixture::of("abcd");
    const String zero(1, TypeParam());
    String buffer = TestFixture::marks();

    // Capacity 0 holds nothing, not even the terminator.
    EXPECT_FALSE(copyCut(buffer.data(), 0, View(abc)));
    EXPECT_EQ(TestFixture::marks(), buffer);

    // Capacity 1 holds the terminator only.
    EXPECT_FALSE(copyCut(buffer.data(), 1, View(abc)));
    EXPECT_EQ(zero + TestFixture::of("#######"), buffer);
    buffer = TestFixture::marks();
    EXPECT_TRUE(copyCut(buffer.data(), 1, View()));
    EXPECT_EQ(zero + TestFixture::of("#######"), buffer);

    // Exact fit.
    buffer = TestFixture::marks();
    EXPECT_TRUE(copyCut(buffer.data(), 4, View(abc)));
    EXPECT_EQ(abc + zero + TestFixture::of("####"), buffer);

    // One over: cut to capacity - 1.
    buffer = TestFixture::marks();
    EXPECT_FALSE(copyCut(buffer.data(), 4, View(abcd)));
    EXPECT_EQ(abc + zero + TestFixture::of("####"), buffer);
}

TYPED_TEST(BoundedCopy, CopyWholeRefusesWhatDoesNotFitAndLeavesTheDestination)
{
    using String = typename TestFixture::String;
    using View = std::basic_string_view<TypeParam>;
    const String abc = TestFixture::of("abc");
    const String abcd = TestFixture::of("abcd");
    const String zero(1, TypeParam());
    String buffer = TestFixture::marks();

    EXPECT_FALSE(copyWhole(buffer.data(), 0, View()));
    EXPECT_EQ(TestFixture::marks(), buffer);

    EXPECT_FALSE(copyWhole(buffer.data(), 1, View(abc)));
    EXPECT_EQ(TestFixture::marks(), buffer);
    EXPECT_TRUE(copyWhole(buffer.data(), 1, View()));
    EXPECT_EQ(zero + TestFixture::of("#######"), buffer);

    buffer = TestFixture::marks();
    EXPECT_TRUE(copyWhole(buffer.data(), 4, View(abc)));
    EXPECT_EQ(abc + zero + TestFixture::of("####"), buffer);

    buffer = TestFixture::marks();
    EXPECT_FALSE(copyWhole(buffer.data(), 4, View(abcd)));
    EXPECT_EQ(TestFixture::marks(), buffer);
}

TYPED_TEST(BoundedCopy, CutGivesWhatABufferOfThatCapacityHolds)
{
    using View = std::basic_string_view<TypeParam>;
    const auto abc = TestFixture::of("abc");
    const auto abcd = TestFixture::of("abcd");

    EXPECT_TRUE(cut(View(abc), 0).empty());
    EXPECT_TRUE(cut(View(abc), 1).empty());
    EXPECT_EQ(abc, cut(View(abc), 4));
    EXPECT_EQ(abc, cut(View(abcd), 4));
}

TYPED_TEST(BoundedCopy, BoundedLengthStopsAtTheFirstZeroOrTheEnd)
{
    const auto text = TestFixture::of("abc");  // its terminator is unit 3
    const TypeParam* units = text.c_str();

    EXPECT_EQ(0u, boundedLength(units, 0));
    EXPECT_EQ(1u, boundedLength(units, 1));
    // Exactly the text and its terminator.
    EXPECT_EQ(3u, boundedLength(units, 4));
    // The text without its terminator: all of the units.
    EXPECT_EQ(3u, boundedLength(units, 3));

    const TypeParam empty[] = {TypeParam(), TypeParam('x')};
    EXPECT_EQ(0u, boundedLength(empty, 1));
    EXPECT_EQ(0u, boundedLength(empty, 2));
}

}  // namespace
}  // namespace vantor::text
