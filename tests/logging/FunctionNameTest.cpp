// The function names records carry: derived at compile time as MSVC's __FUNCTION__ spells them.
#include "LogTestSupport.h"

#include <logging/Log.h>

#include <gtest/gtest.h>

#include <string>

#define NAME_OF_THIS_FUNCTION()                                                                              \
    [&] {                                                                                                    \
        OV_KMF_FUNCTION_NAME_DECL;                                                                           \
        return std::string(OV_KMF_FUNCTION_NAME_EXPR);                                                       \
    }

namespace {

std::string anonymousFunction(int, const char*) {
    OV_KMF_FUNCTION_NAME_DECL;
    return OV_KMF_FUNCTION_NAME_EXPR;
}

} // namespace

namespace outer {
namespace inner {

struct Widget {
    std::string method(const std::string&) const {
        OV_KMF_FUNCTION_NAME_DECL;
        return OV_KMF_FUNCTION_NAME_EXPR;
    }
    static std::string staticMethod() {
        OV_KMF_FUNCTION_NAME_DECL;
        return OV_KMF_FUNCTION_NAME_EXPR;
    }
    std::string lambdaInside() { return NAME_OF_THIS_FUNCTION()(); }
    bool operator<(const Widget&) const {
        OV_KMF_FUNCTION_NAME_DECL;
        lastName = OV_KMF_FUNCTION_NAME_EXPR;
        return false;
    }
    mutable std::string lastName;
};

} // namespace inner
} // namespace outer

std::string* plainFunction(std::string* out) {
    OV_KMF_FUNCTION_NAME_DECL;
    *out = OV_KMF_FUNCTION_NAME_EXPR;
    return out;
}

// Qualified names without return type and parameters, as the record's prefix needs them.
TEST(FunctionName, PlainFunctionsAndMethods) {
    std::string name;
    EXPECT_EQ("plainFunction", *plainFunction(&name));
    outer::inner::Widget widget;
    EXPECT_EQ("outer::inner::Widget::method", widget.method(""));
    EXPECT_EQ("outer::inner::Widget::staticMethod", outer::inner::Widget::staticMethod());
    (void)(widget < widget);
    EXPECT_EQ("outer::inner::Widget::operator <", widget.lastName);
}

// Anonymous name spaces arrive with MSVC's marker, which the record prefix then removes.
TEST(FunctionName, AnonymousNamespace) {
    EXPECT_EQ("`anonymous-namespace'::anonymousFunction", anonymousFunction(0, ""));
    EXPECT_EQ("::anonymousFunction: ", logtest::functionPrefixOf(anonymousFunction(0, "").c_str()));
}

// A lambda names its call operator inside the enclosing function; the record shows "<lambda>".
TEST(FunctionName, Lambdas) {
    outer::inner::Widget widget;
    const std::string name = widget.lambdaInside();
    EXPECT_EQ("outer::inner::Widget::lambdaInside::<lambda_1>::operator ()", name);
    EXPECT_EQ("outer::inner::Widget::lambdaInside::<lambda>: ", logtest::functionPrefixOf(name.c_str()));
    const std::string inTest = NAME_OF_THIS_FUNCTION()();
    EXPECT_NE(std::string::npos, inTest.find("::<lambda_1>::operator ()")) << inTest;
}
