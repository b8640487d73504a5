#include "toolkit/Delegate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace DuiLib {
namespace {

std::vector<std::string> g_calls;

bool First(void* param) {
    g_calls.push_back("first:" + std::to_string(static_cast<TEventUI*>(param)->Type));
    return true;
}
bool Refuses(void*) {
    g_calls.push_back("refuses");
    return false;
}
bool Last(void*) {
    g_calls.push_back("last");
    return true;
}

struct Handler {
    int seen = 0;
    bool OnEvent(void*) {
        ++seen;
        return true;
    }
};

TEST(DelegateTest, EventSourceCallsInOrderAndStopsAtFalse) {
    g_calls.clear();
    CEventSource source;
    EXPECT_TRUE(source.IsEmpty());
    source += MakeDelegate(&First);
    source += &Last;
    source += CDelegateStatic(&First);  // already there
    EXPECT_EQ(source.GetCount(), 2);
    TEventUI event;
    event.Type = UIEVENT_BUTTONDOWN;
    EXPECT_TRUE(source(&event));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"first:13", "last"}));

    g_calls.clear();
    source -= &Last;
    source += &Refuses;
    source += &Last;
    EXPECT_FALSE(source(&event));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"first:13", "refuses"}));
}

TEST(DelegateTest, MemberDelegatesAndCopies) {
    Handler a;
    Handler b;
    CEventSource source;
    source += MakeDelegate(&a, &Handler::OnEvent);
    source += MakeDelegate(&b, &Handler::OnEvent);
    source += MakeDelegate(&a, &Handler::OnEvent);
    EXPECT_EQ(source.GetCount(), 2);
    CEventSource copy = source;
    TEventUI event;
    copy(&event);
    EXPECT_EQ(a.seen, 1);
    EXPECT_EQ(b.seen, 1);
    source -= MakeDelegate(&a, &Handler::OnEvent);
    source(&event);
    EXPECT_EQ(a.seen, 1);
    EXPECT_EQ(b.seen, 2);
}

}  // namespace
}  // namespace DuiLib
