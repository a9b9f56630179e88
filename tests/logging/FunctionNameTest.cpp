// The function names records carry: derived at compile time as MSVC's __FUNCTION__ spells them.
#include <logging/Log.h>

#include <gtest/gtest.h>

#include <string>

#define RETURN_FUNCTION_NAME                                                                                 \
    OV_KMF_FUNCTION_NAME_DECL;                                                                               \
    return OV_KMF_FUNCTION_NAME_EXPR

namespace {

std::string anonymousFunction(int, const char*) {
    RETURN_FUNCTION_NAME;
}

} // namespace

namespace outer {
namespace inner {

struct Widget {
    std::string method(const std::string&) const { RETURN_FUNCTION_NAME; }
    static std::string staticMethod() { RETURN_FUNCTION_NAME; }
    std::string operator<(const Widget&) const { RETURN_FUNCTION_NAME; }
    std::string lambdaInside() {
        return [] { RETURN_FUNCTION_NAME; }();
    }
};

} // namespace inner
} // namespace outer

const char* plainFunction(std::string*) {
    RETURN_FUNCTION_NAME;
}

// Qualified names without return type and parameters; anonymous name spaces and lambdas spelled
// with MSVC's markers, which the record prefix then shortens.
TEST(FunctionName, AsMsvcSpellsIt) {
    EXPECT_STREQ("plainFunction", plainFunction(nullptr));
    outer::inner::Widget widget;
    EXPECT_EQ("outer::inner::Widget::method", widget.method(""));
    EXPECT_EQ("outer::inner::Widget::staticMethod", outer::inner::Widget::staticMethod());
    EXPECT_EQ("outer::inner::Widget::operator <", widget < widget);
    EXPECT_EQ("`anonymous-namespace'::anonymousFunction", anonymousFunction(0, ""));
    EXPECT_EQ("outer::inner::Widget::lambdaInside::<lambda_1>::operator ()", widget.lambdaInside());
    EXPECT_EQ("FunctionName_AsMsvcSpellsIt_Test::TestBody::<lambda_1>::operator ()",
              std::string([] { RETURN_FUNCTION_NAME; }()));
}
