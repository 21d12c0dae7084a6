// The tests' JSON reader is as strict as JSON: what it takes, any reader takes.
#include "support/JsonReader.h"

#include <gtest/gtest.h>

TEST(JsonReader, NumbersAreJsonsAndNothingThatStrtodAlsoTakes)
{
    for (const char* number : {"0", "-1", "4", "10.25", "-0.5e-3", "1E+2"})
    {
        JsonValue value;
        std::string why;
        EXPECT_TRUE(ParseJson(number, value, why)) << number << ": " << why;
        EXPECT_EQ(JsonValue::Kind::Number, value.kind) << number;
    }
    for (const char* text : {"0x18", "+1", "01", "inf", "-inf", "nan", "1.", ".5", "1e", "-"})
    {
        JsonValue value;
        std::string why;
        EXPECT_FALSE(ParseJson(text, value, why)) << text;
    }
}
